// SPDX-License-Identifier: MIT
// Settings that the sanitizers read at start-up, built into the filters only
// when they are built with them, so that they hold wherever it runs (cupsd
// gives a filter none of the caller's environment).
extern "C" {

// libcups itself leaks memory that its PPD cache allocates, and a string
// of the PPD that it reads twice (a second *NickName, say), which it copies
// with strdup; nothing the filter can free. Only leaks whose stack goes
// through those functions are suppressed: the filter calls neither, and a
// PPD it failed to close would still leak the PPD itself. The sanitizer's
// own start of a thread leaks in glibc's pthread_getattr_np; the filter
// starts none, but libFuzzer does.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
const char *__lsan_default_suppressions()
{
	return "leak:_ppdCacheCreateWithPPD\nleak:strdup\n"
	    "leak:pthread_getattr_np\n";
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
