// The vertical page offset.
#include "morvane.h"

constexpr float dots_per_inch = 300;
constexpr float points_per_inch_negated = -72;

// 3 mm in inches, the quotient of 3 by 25.4 in double arithmetic.
constexpr double vertical_margin = 0.11811023622047245;

double vertical_offset(float height, double vertical_dots)
{
	long double down = (long double)vertical_dots / dots_per_inch;
	long double up = (long double)height / points_per_inch_negated;
	return (double)(down + up + (long double)vertical_margin);
}
