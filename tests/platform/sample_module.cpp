// A module for the loader's tests: one exported C function and nothing else.

extern "C" __attribute__((visibility("default"))) int quel_sample_module_answer()
{
    return 42;
}
