// SPDX-License-Identifier: MIT
// The vertical page offset.
#include "extended.h"
#include "morvane.h"

constexpr float dots_per_inch = 300;
constexpr float points_per_inch_negated = -72;

// 3 mm in inches, the quotient of 3 by 25.4 in double arithmetic.
constexpr double vertical_margin = 0.11811023622047245;

double vertical_offset(float height, double vertical_dots)
{
	extended down = divide(from_double(vertical_dots),
	    from_float(dots_per_inch));
	extended up = divide(from_float(height),
	    from_float(points_per_inch_negated));
	return to_double(add(add(down, up), from_double(vertical_margin)));
}
