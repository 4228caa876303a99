// SPDX-License-Identifier: GPL-3.0-or-later
// The application object reports an error a handler raises and goes on.
#include "MEROApplication.h"
#include "ScriptedPrompts.h"
#include "plussped.h"

#include <QEvent>
#include <QtTest>
#include <stdexcept>

namespace
{
class Throwing : public QObject
{
public:
    int handled = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Not a valid number");
        if (e->type() == QEvent::Type(QEvent::User + 1))
            throw 42;
        if (e->type() == QEvent::Type(QEvent::User + 2)) {
            ++handled;
            return true;
        }
        return QObject::event(e);
    }
};
} // namespace

class TestMeroApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errorIsShownAndTheLoopGoesOn()
    {
        ScriptedPrompts prompts;
        Throwing target;
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::postEvent(&target, new QEvent(QEvent::Type(QEvent::User + 1)));
        QCoreApplication::postEvent(&target, new QEvent(QEvent::Type(QEvent::User + 2)));
        QCoreApplication::processEvents();
        QCOMPARE(prompts.textsOf(ScriptedPrompts::Kind::Warning),
                 (QStringList{"Not a valid number", "Unexpected error"}));
        // The events behind the failing ones were still delivered.
        QCOMPARE(target.handled, 1);
    }

    // A digit that leaves a text the control cannot read ("5" in base 2)
    // brings up the warning box, and the control still takes keys after it.
    void typedDigitErrorIsShown()
    {
        ScriptedPrompts prompts;
        TPlusSpinEdit spin;
        spin.SetDecimals(0);
        spin.SetBase(2);
        spin.AssignValue(5);
        spin.SelectDigit(1);
        QTest::keyClick(&spin, '1');
        QCOMPARE(prompts.textsOf(ScriptedPrompts::Kind::Warning),
                 QStringList{"Not a valid number"});
        QCOMPARE(spin.Value(), 5.0);
        spin.AssignValue(1);
        spin.SelectDigit(1);
        QTest::keyClick(&spin, '1');
        QCOMPARE(spin.Value(), 3.0);
        QCOMPARE(prompts.shown().size(), 1);
    }
};

int main(int argc, char** argv)
{
    TMEROApplication app(argc, argv);
    TestMeroApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_meroapplication.moc"
