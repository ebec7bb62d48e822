// Under LeakSanitizer, the font configuration library keeps a small cache for
// the life of the process that it never frees; it is no leak of ours. Weak, so
// that a test program with leaks of its own to pass over can define its list.
extern "C" const char* __lsan_default_suppressions();
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
