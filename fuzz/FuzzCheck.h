// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Invariant checks of the fuzz targets: a broken invariant prints what broke
// and traps, so libFuzzer saves the input as a crash.

#include <cstdio>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #cond);    \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (0)
