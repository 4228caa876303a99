// SPDX-License-Identifier: GPL-3.0-or-later
// The transport's listeners against a scripted unit: every exchange, refused
// ones included, with its origin and result, in order; listeners that throw,
// leave or join while they are told break neither the exchange nor the others.
#include "AppState.h"
#include "Communication.h"
#include "ExchangeRecorder.h"
#include "LinkFixture.h"

#include <QtTest>

#include <functional>
#include <memory>
#include <stdexcept>

namespace
{

struct TThrower : IExchangeListener {
    int calls = 0;
    void Exchanged(const TExchangeRecord&) override
    {
        ++calls;
        throw std::runtime_error("listener failed");
    }
};

} // namespace

class TestExchangeListeners : public QObject
{
    Q_OBJECT

    std::unique_ptr<TLinkFixture> f;

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }
    void init()
    {
        f = std::make_unique<TLinkFixture>(8, 200);
        f->unit.onLine(";DC:CM?", "2.5\r");
        f->unit.onLine(";DC:CS 012.50", "OK\r");
        f->unit.onLine("XY 1", "?\r");
    }
    void cleanup()
    {
        f.reset();
        QVERIFY(!ExchangeListened());
    }

    void everyExchangeWithItsOriginInOrder()
    {
        TExchangeRecorder a, b;
        const TExchangeListening la(a), lb(b);
        {
            const TOriginScope poll({orPoll, 0, {}});
            QCOMPARE(QueryFloat("CM"), 2.5);
            QCOMPARE(QueryInteger("SS"), 0); // no reply: times out
        }
        SendCommand(QStringLiteral("CS 012.50"));
        {
            const TOriginScope terminal({orTerminal, 0, {}});
            SendRawLine("XY 1");
        }
        appState().CommandsDisabled = true;
        SendCommand(QStringLiteral("CS 013.00"));
        appState().CommandsDisabled = false;
        const QStringList want{
            "poll/query CM -> 2.5", "poll/query SS -> timed out", "control/set CS 012.50 -> OK",
            "terminal/raw XY 1 -> ?",
            QStringLiteral("control/set CS 013.00 -> refused %1").arg(lrCommandsDisabled)};
        QCOMPARE(a.heard, want);
        QCOMPARE(b.heard, want);
        // Listening changed nothing on the wire.
        QCOMPARE(f->unit.lines(),
                 (QList<QByteArray>{";DC:CM?", ";DC:SS?", ";DC:CS 012.50", "XY 1"}));
    }

    // A refused nested exchange (inside another's reply wait) ends first.
    void nestedRefusalIsToldBeforeTheExchangeItInterrupted()
    {
        TExchangeRecorder a;
        const TExchangeListening la(a);
        f->unit.onLine(";DC:VM?", PtyReply::After(100, "5.5\r"));
        f->port.SetAllowEvents(true);
        QTimer::singleShot(30, [] { SendCommand(QStringLiteral("EN 1")); });
        QCOMPARE(QueryFloat("VM"), 5.5);
        f->port.SetAllowEvents(false);
        QCOMPARE(a.heard,
                 (QStringList{QStringLiteral("control/set EN 1 -> refused %1").arg(lrComportInUse),
                              "control/query VM -> 5.5"}));
    }

    void thrownOrLeavingListenersBreakNothing()
    {
        QVERIFY(f->StartLog());
        TThrower thrower;
        TExchangeRecorder leaver, joiner, steady;
        auto thrown = std::make_unique<TExchangeListening>(thrower);
        auto left = std::make_unique<TExchangeListening>(leaver);
        std::unique_ptr<TExchangeListening> joined;
        const TExchangeListening ls(steady);
        // The leaver unregisters itself and the thrower, and registers a new
        // listener, all while it is being told.
        leaver.during = [&] {
            left.reset();
            thrown.reset();
            joined = std::make_unique<TExchangeListening>(joiner);
        };

        QCOMPARE(SendCommand(QStringLiteral("CS 012.50")), QByteArray("OK"));
        QCOMPARE(thrower.calls, 1);
        QCOMPARE(leaver.heard, QStringList{"control/set CS 012.50 -> OK"});
        QCOMPARE(steady.heard, QStringList{"control/set CS 012.50 -> OK"});
        QVERIFY(joiner.heard.isEmpty()); // joined during this exchange

        QCOMPARE(QueryFloat("CM"), 2.5);
        QCOMPARE(thrower.calls, 1);
        QCOMPARE(leaver.heard.size(), 1);
        QCOMPARE(steady.heard.last(), QStringLiteral("control/query CM -> 2.5"));
        QCOMPARE(joiner.heard, QStringList{"control/query CM -> 2.5"});

        // Every exchange is in the log as always: Sent and Received for each.
        const QStringList log = f->LogLines();
        QCOMPARE(log.size(), 4);
        QVERIFY(log[0].endsWith(QStringLiteral(": ;DC:CS 012.50")));
        QVERIFY(log[1].endsWith(QStringLiteral(": OK")));
        QVERIFY(log[3].endsWith(QStringLiteral(": 2.5")));
    }

    void numericReadingsSayWhy_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("integer");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("state");
        QTest::newRow("float") << QByteArray("12.5\r") << false << 12.5 << int(rsValue);
        QTest::newRow("integer") << QByteArray("-7\r") << true << -7.0 << int(rsValue);
        QTest::newRow("decimal to integer")
            << QByteArray("12.5\r") << true << 0.0 << int(rsUnreadable);
        QTest::newRow("empty") << QByteArray("\r") << false << 0.0 << int(rsEmpty);
        QTest::newRow("silent") << QByteArray() << true << 0.0 << int(rsTimedOut);
    }
    void numericReadingsSayWhy()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, integer);
        QFETCH(double, value);
        QFETCH(int, state);
        if (!reply.isEmpty())
            f->unit.onLine(";DC:AI?", reply);
        const TReading r = integer ? ReadInteger("AI") : ReadFloat("AI");
        QCOMPARE(r.Value, value);
        QCOMPARE(int(r.State), state);
    }
};

QTEST_GUILESS_MAIN(TestExchangeListeners)
#include "tst_exchangelisteners.moc"
