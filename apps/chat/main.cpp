#include <cstdio>
#include <cstring>

// Placeholder entry point until the toolkit's launcher is in place.
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("usage: kavu-chat [--shot NAME --out PATH]");
            return 0;
        }
    }
    std::puts("Kavu Chat: the window is not built yet");
    return 0;
}
