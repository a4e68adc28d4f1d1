#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kavu {

// Stops the program after a step that cannot fail has failed. The label names
// the step ("put map", "insert msg", ...) so a crash report says where.
[[noreturn]] inline void fatal(std::string_view label) {
    std::fprintf(stderr, "fatal: %.*s\n", static_cast<int>(label.size()), label.data());
    std::fflush(stderr);
    std::abort();
}

} // namespace kavu
