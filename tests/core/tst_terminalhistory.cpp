// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalHistory.h"

#include <QTest>

class TestTerminalHistory : public QObject
{
    Q_OBJECT

    static QStringList Walk(TTerminalHistory& h, const QString& draft)
    {
        QStringList seen;
        while (const auto line = h.Older(draft))
            seen << *line;
        return seen;
    }

private Q_SLOTS:
    void newestFirstWithoutRepeats();
    void downReturnsToDraft();
    void emptyHistoryDoesNothing();
    void boundedInEntries();
    void boundedInCharacters();
};

void TestTerminalHistory::newestFirstWithoutRepeats()
{
    TTerminalHistory h;
    for (const char* line : {"SS?", "CS 001.00", "CS 001.00", "", "SS?", "ID?"})
        h.Add(line);
    // A repeat only counts when it follows itself; empty lines are not kept.
    QCOMPARE(h.Lines(), QStringList({"ID?", "SS?", "CS 001.00", "SS?"}));
    QCOMPARE(Walk(h, "dr"), h.Lines());
    // Past the oldest, Up stays there.
    QVERIFY(!h.Older("dr"));
}

void TestTerminalHistory::downReturnsToDraft()
{
    TTerminalHistory h;
    h.Add("one");
    h.Add("two");
    QVERIFY(!h.Newer()); // not walking
    QCOMPARE(h.Older("typed"), std::optional<QString>("two"));
    QCOMPARE(h.Older("ignored"), std::optional<QString>("one"));
    QCOMPARE(h.Newer(), std::optional<QString>("two"));
    QCOMPARE(h.Newer(), std::optional<QString>("typed"));
    QVERIFY(!h.Newer());
    // Sending ends the walk: Up starts again at the newest.
    QCOMPARE(h.Older(""), std::optional<QString>("two"));
    h.Add("three");
    QCOMPARE(h.Older(""), std::optional<QString>("three"));
    h.EndWalk();
    QVERIFY(!h.Newer());
}

void TestTerminalHistory::emptyHistoryDoesNothing()
{
    TTerminalHistory h;
    QVERIFY(!h.Older("x"));
    QVERIFY(!h.Newer());
}

void TestTerminalHistory::boundedInEntries()
{
    TTerminalHistory h;
    for (int i = 0; i < 1000; ++i)
        h.Add(QString::number(i));
    QCOMPARE(h.Lines().size(), TTerminalHistory::MaxEntries);
    QCOMPARE(h.Lines().first(), QStringLiteral("999"));
    QCOMPARE(h.Lines().last(), QStringLiteral("800"));
}

void TestTerminalHistory::boundedInCharacters()
{
    TTerminalHistory h;
    // Lines as long as an edit box holds: the oldest go first.
    for (int i = 0; i < 300; ++i)
        h.Add(QString(32767, QChar('a' + i % 26)));
    QVERIFY(h.TotalChars() <= TTerminalHistory::MaxTotalChars);
    QCOMPARE(h.Lines().size(), TTerminalHistory::MaxTotalChars / 32767);
    qsizetype sum = 0;
    for (const QString& l : h.Lines())
        sum += l.size();
    QCOMPARE(sum, h.TotalChars());
    // A line beyond the whole budget is not kept, and evicts nothing.
    const QStringList before = h.Lines();
    h.Add(QString(TTerminalHistory::MaxTotalChars + 1, 'z'));
    QCOMPARE(h.Lines(), before);
}

QTEST_GUILESS_MAIN(TestTerminalHistory)
#include "tst_terminalhistory.moc"
