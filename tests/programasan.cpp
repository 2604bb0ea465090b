// Linked into the program in sanitizer builds only. The program keeps every tree until it
// exits, by design, so a leak check at exit would list nothing but those trees; the unit
// tests, which free what they build, keep the check. ASAN_OPTIONS still overrides this.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
