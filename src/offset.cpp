// SPDX-License-Identifier: MIT
// The vertical page offset.
#include "offset.h"

#include "extended.h"

constexpr float dots_per_inch = 300;
constexpr float points_per_inch_negated = -72;

double vertical_offset(float height, double vertical_dots)
{
	extended down = divide(from_double(vertical_dots),
	    from_float(dots_per_inch));
	extended up = divide(from_float(height),
	    from_float(points_per_inch_negated));
	return to_double(add(add(down, up), from_double(vertical_margin)));
}
