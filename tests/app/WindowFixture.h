// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for the main-window tests: injected key state, a scripted unit's
// replies by mnemonic, and a window wired to a unit the way start-up leaves it.

#include "AppState.h"
#include "KeyState.h"
#include "KxComPort.h"
#include "MEROMain.h"
#include "PtyUnit.h"
#include "ReadBackOrder.h"

#include <QByteArray>
#include <QList>
#include <QMap>

class ScriptedKeys : public IKeyState
{
public:
    ScriptedKeys() { previous = InstallKeyState(this); }
    ~ScriptedKeys() override { InstallKeyState(previous); }
    bool LeftShift() override { return left; }
    bool RightShift() override { return right; }
    bool Control() override { return control; }

    bool left = false;
    bool right = false;
    bool control = false;

private:
    IKeyState* previous = nullptr;
};

// Replies of a unit by mnemonic: ";DC:<m>?" is answered with the reply and CR.
// Mnemonics not listed stay unanswered.
inline void ScriptReplies(PtyUnit& unit, const QMap<QByteArray, QByteArray>& replies)
{
    unit.clearRules();
    for (auto it = replies.begin(); it != replies.end(); ++it)
        unit.onLine(";DC:" + it.key() + "?", it.value() + "\r");
}

// A basic unit holding ordinary settings.
inline QMap<QByteArray, QByteArray> BasicUnitReplies()
{
    return {{"CFG", "0"},    {"MC", "40"},   {"MR", "5000"}, {"CS", "12.5"}, {"RR", "1000"},
            {"PW", "1e-05"}, {"CV", "24.5"}, {"RC", "3"},    {"TB", "1"},    {"IC", "0"},
            {"PE", "1"},     {"EN", "0"},    {"ST", "0"},    {"BC", "7"},    {"PM", "1"},
            {"BDG", "321"},  {"CM", "2.5"},  {"VM", "5.5"},  {"SS", "5"}};
}

// Sets the port up as a detect start leaves it, on the unit's number.
inline void UsePort(TMERO_App& window, const PtyUnit& unit, quint32 responseTimeMs)
{
    TKxComPort* port = window.ComPort;
    port->SetShowErrors(false);
    port->SetAllowEvents(false);
    port->SetBaud(115200);
    port->SetEndOfResponse("#13");
    port->SetPort(unit.comNumber());
    port->SetResponseTime(responseTimeMs);
    port->Open();
}
