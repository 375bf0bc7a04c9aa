// A family library of the sample, built once per family (SAMPLE_FAMILY): it tells the library
// "arch" which family it works for.
#define SAMPLE_TEXT2(a) #a
#define SAMPLE_TEXT(a) SAMPLE_TEXT2(a)
#define SAMPLE_JOIN2(a, b) a##b
#define SAMPLE_JOIN(a, b) SAMPLE_JOIN2(a, b)

extern "C" {

const char* arch_family() { return SAMPLE_TEXT(SAMPLE_FAMILY); }

// Entries of the family library "<family>lib"; nothing to set up.
void SAMPLE_JOIN(SAMPLE_JOIN(_init_lib, SAMPLE_FAMILY), lib)() {}
void SAMPLE_JOIN(SAMPLE_JOIN(_fini_lib, SAMPLE_FAMILY), lib)() {}

}  // extern "C"
