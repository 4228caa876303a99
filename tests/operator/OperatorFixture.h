// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A main window wired to a scripted unit the way start-up leaves it: the port
// open with reply waits dispatching events, the task timer running. Queries
// get the basic unit's replies, every other line "OK".

#include "../app/WindowFixture.h"

#include "ScriptedPrompts.h"

#include <QComboBox>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

struct TOperatorFixture {
    PtyUnit unit;
    ScriptedKeys keys;
    ScriptedPrompts prompts;
    std::unique_ptr<TMERO_App> w;

    explicit TOperatorFixture(int com)
        : unit(com), w((appState().Reset(), std::make_unique<TMERO_App>()))
    {
        Answer(BasicUnitReplies());
        UsePort(*w, unit, 1000);
        w->ComPort->SetAllowEvents(true);
        w->TaskTimer->start();
    }
    ~TOperatorFixture()
    {
        w.reset();
        appState().Reset();
    }

    template <typename T> T* Find(const char* name) const
    {
        T* child = w->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }

    void Answer(const QMap<QByteArray, QByteArray>& replies, int delayMs = 0)
    {
        unit.clearRules();
        for (auto it = replies.begin(); it != replies.end(); ++it)
            unit.onLine(";DC:" + it.key() + "?", PtyReply::After(delayMs, it.value() + "\r"));
        unit.onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });
    }

    // Bytes the unit received, once they equal the expected ones (or after
    // the deadline, for the comparison to show the difference).
    QByteArray WireWhenEqual(const QByteArray& expected, int ms = 3000)
    {
        QElapsedTimer t;
        t.start();
        while (unit.received() != expected && t.elapsed() < ms)
            QTest::qWait(2);
        return unit.received();
    }

    // As the read-back leaves things: the controls' handlers run while the
    // queue refuses their commands.
    template <typename F> void DuringReadBack(F f)
    {
        appState().CommandsDisabled = true;
        f();
        appState().CommandsDisabled = false;
    }
};

// "(hh:nn:ss.zzz) " + text
inline bool IsEchoLine(const QString& line, const QString& text)
{
    static const QRegularExpression ts(QStringLiteral(R"(^\(\d\d:\d\d:\d\d\.\d\d\d\) )"));
    const QRegularExpressionMatch m = ts.match(line);
    return m.hasMatch() && line.mid(m.capturedLength()) == text;
}

// One row's action of a table-driven test.
using TAction = std::function<void(TOperatorFixture&)>;
Q_DECLARE_METATYPE(TAction)

// The operator picks an item of a combo box.
inline void Choose(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}
