// bare_load.exe NAME...: loads each NAME with LoadLibraryA by bare name, the
// unsafe way, and prints "NAME loaded" or "NAME not loaded". The end-to-end
// tests run it beside planted DLLs to show that a plant does run for a
// program that searches its own folder.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        std::printf("%s %s\n", argv[i], ::LoadLibraryA(argv[i]) != nullptr ? "loaded" : "not loaded");
    return 0;
}
