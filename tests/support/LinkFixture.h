// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandQueue.h"
#include "KxComPort.h"
#include "PtyUnit.h"
#include "PumpLink.h"
#include "RecordingEcho.h"
#include "ScriptedPrompts.h"
#include "TaskPump.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

// The transport bound to a scripted unit, as the window leaves it after
// start-up but without a window: a fresh working directory (the log goes
// there), the unit on COM<n>, scripted boxes, a port with CR as the reply end
// and no error boxes (closed; the first exchange opens it), and a recording
// echo. The destructor unbinds the transport, resets appState() and restores
// the working directory. Construct it inside a test function or init().
struct TLinkFixture {
    explicit TLinkFixture(int com, quint32 responseTimeMs = 1000);
    ~TLinkFixture();
    TLinkFixture(const TLinkFixture&) = delete;
    TLinkFixture& operator=(const TLinkFixture&) = delete;

    // Switches logging on into <dir>/name; false when it did not come on.
    bool StartLog(const QByteArray& name = "log.txt");
    // Replaces the open log's descriptor by /dev/full: the next line fails.
    bool BreakLog();
    // The log file's bytes / its lines after the header (CR LF removed).
    QByteArray LogBytes(const QByteArray& name = "log.txt") const;
    QStringList LogLines(const QByteArray& name = "log.txt") const;

    QTemporaryDir dir;
    QString oldCwd;
    PtyUnit unit;
    ScriptedPrompts prompts;
    TKxComPort port;
    RecordingEcho echo;
};

// The task pump over the bound transport, driven by its own 5 ms timer, with
// the window's flags taken from appState() (the read-back request flag and the
// ending flag are the rig's own). The timer runs from construction.
struct TPumpRig {
    TPumpRig();
    ~TPumpRig();
    TPumpRig(const TPumpRig&) = delete;
    TPumpRig& operator=(const TPumpRig&) = delete;

    bool Queue(const QString& text, TQueueKind kind = qkSetCommand)
    {
        return pump.Queue(text, kind);
    }
    // The pump at rest: nothing queued, no pass under way.
    bool Idle() const;

    bool readBackPending = false;
    bool ending = false;
    int passes = 0; // ticks that found no pass under way
    QTimer taskTimer;
    TTransportPumpHost host;
    TTaskPump pump;
};
