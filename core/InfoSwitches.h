// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

// "--help" and "--version" (whole arguments): answered before anything else
// exists, without a display, a window or a port. The first of them decides.
struct TInfoAnswer {
    std::string text; // for standard output
    int exitCode = 0;
};

// The answer for these arguments (argv[0] is the program), or nullopt when
// neither switch is among them and the program starts as usual.
std::optional<TInfoAnswer> InfoSwitchAnswer(int argc, const char* const* argv);

std::string HelpText();
std::string VersionText(); // "MERO 1.4.1.1\n"
