// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The state of the modifier keys the program reads on its own: Left and Right
// Shift at start-up and at each read-back, Control when "About" is chosen.
//
// On the X11 platform the keys are read from the server's keymap, so Left and
// Right Shift are told apart. Elsewhere no Shift key counts as held and
// Control comes from Qt's keyboard modifiers. Tests install their own state.
class IKeyState
{
public:
    virtual ~IKeyState() = default;
    virtual bool LeftShift() = 0;
    virtual bool RightShift() = 0;
    virtual bool Control() = 0;
};

// The key state in force for the whole process.
IKeyState& KeyState();

// Installs a key state for the whole process (not owned); nullptr restores
// the platform's. Returns the one installed before (nullptr for the default).
IKeyState* InstallKeyState(IKeyState* keys);
