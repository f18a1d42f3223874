// SPDX-License-Identifier: MIT
// splitmix64: a fixed sequence of 64-bit numbers, so that every run of a
// test checks the same inputs.
#ifndef TEST_RANDOM_H
#define TEST_RANDOM_H

#include <cstdint>

inline uint64_t next_random(uint64_t &state)
{
	uint64_t z = (state += UINT64_C(0x9e3779b97f4a7c15));
	z = (z ^ (z >> 30)) * UINT64_C(0xbf58476d1ce4e5b9);
	z = (z ^ (z >> 27)) * UINT64_C(0x94d049bb133111eb);
	return z ^ (z >> 31);
}

#endif
