// A shared library that is not the browser runtime: it lacks the loader functions.
extern "C" __attribute__((visibility("default"))) int kestNotTheRuntime() {
    return 1;
}
