// SPDX-License-Identifier: GPL-3.0-or-later
// The boxes as the operator sees them: a plain message has no icon, the others keep
// theirs, and the port's refusal of a nested exchange is a plain message.
#include "KxComPort.h"
#include "PtyUnit.h"
#include "ScriptedPrompts.h"
#include "UserPrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <functional>

using TShow = std::function<void(const QString&)>;
Q_DECLARE_METATYPE(TShow)

class TestUserPrompts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }
    void boxIcons_data();
    void boxIcons();
    void portInUseIsPlain();
};

void TestUserPrompts::boxIcons_data()
{
    QTest::addColumn<TShow>("show");
    QTest::addColumn<int>("icon");
    QTest::newRow("plain message")
        << TShow([](const QString& t) { UserPrompts().Message(t); }) << int(QMessageBox::NoIcon);
    QTest::newRow("information") << TShow([](const QString& t) { UserPrompts().Information(t); })
                                 << int(QMessageBox::Information);
    QTest::newRow("warning") << TShow([](const QString& t) { UserPrompts().Warning(t); })
                             << int(QMessageBox::Warning);
}

void TestUserPrompts::boxIcons()
{
    QFETCH(TShow, show);
    QFETCH(int, icon);
    int seenIcon = -1;
    QString seenCaption, seenText;
    // Polled, so the box is read and closed once it is up, however long that takes.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seenIcon = int(box->icon());
            seenCaption = box->windowTitle();
            seenText = box->text();
            box->accept();
        }
    });
    poll.start(10);
    show(QStringLiteral("Halvane"));
    QCOMPARE(seenIcon, icon);
    QCOMPARE(seenCaption, QStringLiteral("MERO Application"));
    QCOMPARE(seenText, QStringLiteral("Halvane"));
}

void TestUserPrompts::portInUseIsPlain()
{
    PtyUnit unit(5);
    unit.onLine("Q", PtyReply::After(150, "outer\r"));
    ScriptedPrompts prompts;
    TKxComPort port;
    port.SetPort(5);
    port.SetEndOfResponse("\r");
    port.SetAllowEvents(true);
    port.SetShowErrors(true);
    QTimer::singleShot(20, this, [&] { port.Read(); });
    port.Write("Q\r\n");
    QCOMPARE(port.Read(), QByteArray("outer\r"));
    QCOMPARE(prompts.shown().size(), 1);
    QCOMPARE(prompts.shown().first().text, QStringLiteral("Port is in use -- operation aborted"));
    QVERIFY(prompts.shown().first().plain);
}

QTEST_MAIN(TestUserPrompts)
#include "tst_userprompts.moc"
