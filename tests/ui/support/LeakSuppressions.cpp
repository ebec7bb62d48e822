// Under LeakSanitizer, the font configuration library keeps a small cache for
// the life of the process that it never frees; it is no leak of ours.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
