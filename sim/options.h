// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Command-line options of the virtual unit. parseOptions() returns an empty text when every
// argument was understood, otherwise a one-line reason; `--help` only sets `help`.

#include "unit.h"

#include <cstddef>
#include <string>
#include <vector>

namespace sim
{

struct GarbageRule {
    std::string mnemonic; // upper case
    std::size_t bytes = 0;
};

// A query of the mnemonic answered with a fixed text (a unit that reports a value
// it would not take, such as an MR? of "0").
struct AnswerRule {
    std::string mnemonic; // upper case
    std::string text;
};

// A line the unit sends unasked, once: when the query M? arrives, before its
// reply (afterMs < 0) or afterMs milliseconds after it.
struct UnsolicitedRule {
    std::string mnemonic; // upper case
    int afterMs = -1;
    std::string text;
};

// The query M? answered late: MS milliseconds after it arrived.
struct LateRule {
    std::string mnemonic; // upper case
    int ms = 0;
};

struct SimOptions {
    UnitOptions unit;
    bool seedGiven = false;
    std::string comDir; // empty: a new temporary directory
    int port = 3;
    bool crOnly = false;
    long silentAfter = -1; // lines answered before the unit falls silent; -1 never
    int delayMs = 0;
    long dropEvery = 0;
    std::vector<GarbageRule> garbage;
    std::vector<AnswerRule> answers;
    std::vector<UnsolicitedRule> unsolicited;
    std::vector<LateRule> late;
    double unplugAfter = -1.0;  // seconds; negative never
    double flickerAfter = -1.0; // seconds; negative never
    int flickerMs = 0;          // how long the unit is gone
    std::string traceFile;
    bool help = false;
    bool version = false;
};

std::string parseOptions(int argc, char** argv, SimOptions& out);
std::string helpText();

} // namespace sim
