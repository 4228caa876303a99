// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class TMERO_App;

// Names and keyboard reach for the parts of the main window whose caption alone would not
// name them for assistive technology: the spare-input lamps ("#1" is "Spare input 1"), the
// measurement bars (their labels also carry the reading), the response list ("Responses",
// read-only, its lines walkable with the keyboard, on a light page under any palette), and
// the tab order. Captions, sizes and
// the specified key handling stay as they are.
void SetUpAccessibility(TMERO_App& window);
