// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal's typing help on a plain edit box: history keys, Escape, the
// mnemonic completer, and Enter while the completer's list is open.
#include "TerminalAssist.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QLineEdit>
#include <QtTest>

class TestTerminalAssist : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> top;
    QLineEdit* edit = nullptr;
    TTerminalAssist* assist = nullptr;
    QStringList sent;

    QStringList Offered(const QString& typed)
    {
        QCompleter* c = assist->Completer();
        c->setCompletionPrefix(typed);
        QStringList out;
        for (int i = 0; c->setCurrentRow(i); ++i)
            out << c->currentCompletion();
        return out;
    }

private Q_SLOTS:
    void init()
    {
        top = std::make_unique<QWidget>();
        edit = new QLineEdit(top.get());
        sent.clear();
        assist = new TTerminalAssist(
            edit,
            [this] {
                sent << edit->text();
                assist->Remember(edit->text());
            },
            top.get());
        top->show();
        QVERIFY(QTest::qWaitForWindowExposed(top.get()));
        edit->setFocus();
    }
    void cleanup() { top.reset(); }

    void upAndDownWalkSentLines()
    {
        for (const char* line : {"SS?", "CS 001.00", "ID?"})
            assist->Remember(line);
        edit->setText("draft");
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->text(), QStringLiteral("ID?"));
        QTest::keyClick(edit, Qt::Key_Up);
        QTest::keyClick(edit, Qt::Key_Up);
        QTest::keyClick(edit, Qt::Key_Up); // stays at the oldest
        QCOMPARE(edit->text(), QStringLiteral("SS?"));
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->text(), QStringLiteral("CS 001.00"));
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->text(), QStringLiteral("draft"));
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(edit->text(), QString());
        QVERIFY(sent.isEmpty());
    }

    void completerOffersMnemonics_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("offered");
        QTest::newRow("c") << "c" << QStringList{"CFG", "CM", "CS", "CV"};
        QTest::newRow("CS") << "CS" << QStringList{"CS"};
        QTest::newRow(";dc:c") << ";dc:c" << QStringList{";DC:CFG", ";DC:CM", ";DC:CS", ";DC:CV"};
        QTest::newRow(";DC:i") << ";DC:i"
                               << QStringList{";DC:I1", ";DC:I2", ";DC:I3", ";DC:IC", ";DC:ID"};
        QTest::newRow("no mnemonic") << "xyz" << QStringList{};
    }
    void completerOffersMnemonics()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, offered);
        QCOMPARE(Offered(typed), offered);
    }

    // Typing "CS" opens the list with "CS" in it; Enter sends the line as
    // typed, as it does without a list, and the list closes.
    void enterWithListOpenSends()
    {
        QTest::keyClicks(edit, "CS");
        QTRY_VERIFY(assist->Completer()->popup()->isVisible());
        QTest::keyClick(assist->Completer()->popup(), Qt::Key_Return);
        QCOMPARE(sent, QStringList{"CS"});
        QVERIFY(!assist->Completer()->popup()->isVisible());
        QCOMPARE(edit->text(), QStringLiteral("CS"));
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->text(), QStringLiteral("CS"));
    }
};

QTEST_MAIN(TestTerminalAssist)
#include "tst_terminalassist.moc"
