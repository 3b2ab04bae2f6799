/* A small shared library for the library channel's tests: one exported function. */
#if defined(_WIN32)
#define ZR_TESTLIB_EXPORT __declspec(dllexport)
#else
#define ZR_TESTLIB_EXPORT __attribute__((visibility("default")))
#endif

ZR_TESTLIB_EXPORT int zr_testlib_add(int a, int b) { return a + b; }
