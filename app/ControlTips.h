// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <span>

class QWidget;

// Tool tips of the main window's controls: each setting names its mnemonic
// and range as the unit documents it, each spare input lamp its mnemonic.
// Kept as a table here, so the form itself stays as designed; the lamps of
// the status bits take theirs from the status bit table (StatusBits.h).
struct TControlTip {
    const char* control; // object name in the form
    const char* tip;
};

std::span<const TControlTip> ControlTips();

// Sets the tip of every control of the table, and of every status bit's
// lamp, that window holds.
void ApplyControlTips(QWidget* window);
