// AddressSanitizer's defaults for both fuzzers. Each input frees all it
// took before the next, so a quarantine of a few megabytes still holds
// every block freed within the last many inputs, and a use after free
// inside one input is caught as before. The default 256 MB quarantine
// instead cycles a quarter of a gigabyte of fresh pages through the
// kernel, which cost about a quarter of the signature reader's rate.
// ASAN_OPTIONS still overrides this.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=8";
}
