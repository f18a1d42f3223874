// SPDX-License-Identifier: MIT
// Settings that the sanitizers read at start-up, built into the filter only
// when it is built with them, so that they hold wherever it runs (cupsd
// gives a filter none of the caller's environment).
extern "C" {

// libcups itself leaks memory that its PPD cache allocates; nothing the
// filter can free. Only leaks whose stack goes through that function are
// suppressed.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
const char *__lsan_default_suppressions()
{
	return "leak:_ppdCacheCreateWithPPD\n";
}

// libcups is built without frame pointers, so the fast unwinder would stop
// at its first frame: the full stack shows whether a leak comes from the
// cache or from the filter's own code. Both names are the runtime's own.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
const char *__asan_default_options()
{
	return "fast_unwind_on_malloc=0";
}

}
