// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Command texts of the operator controls whose value is a choice rather than a
// number. Each returns an empty text when the control's state asks for no
// command; callers queue nothing then.

// Enable and Start decide by the unit's cached state, not by the caption:
// 0 -> "<m> 1", 1 -> "<m> 0", any other state -> nothing.
QString ToggleCommand(const char* mnemonic, qint32 cachedState);

// A two-item box sending a fixed command: item 0 -> "<m> 0", item 1 -> "<m> 1";
// inverted swaps the values (item 0 "On" sends 1). No item -> nothing.
QString ChoiceCommand(const char* mnemonic, int itemIndex, bool inverted = false);

// "<m> " + the item index in decimal; -1 when nothing is selected.
QString IndexCommand(const char* mnemonic, int itemIndex);

// Storage bin of the selected item ("1".."5" are items 0..4); 0 for none.
qint32 BinOfItem(int itemIndex);

// Text the operator typed into a one-line box, cut at its first CR or LF so
// that a pasted line break never puts a second line on the wire.
QString TypedLine(const QString& text);

// The error shown for a typed text that is not an integer.
QString NotAnIntegerMessage(const QString& text);
