// SPDX-License-Identifier: MIT
// The vertical page offset.
#ifndef MORVANE_OFFSET_H
#define MORVANE_OFFSET_H

// 3 mm in inches, the quotient of 3 by 25.4 in double arithmetic: the
// page's top edge lands this far above where the vertical dots put it.
constexpr double vertical_margin = 0.11811023622047245;

// The vertical page offset in inches, computed in the 64-bit-significand
// extended format and rounded once to double.
double vertical_offset(float height, double vertical_dots);

#endif
