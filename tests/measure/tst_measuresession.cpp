// SPDX-License-Identifier: GPL-3.0-or-later
// The session against a scripted unit through the real transport: a sample
// per poll (failed readings kept as such), a journal event per command sent
// or refused, recording, export, and a recording that fails.
#include "AppState.h"
#include "Communication.h"
#include "CsvExport.h"
#include "CsvFormat.h"
#include "LinkFixture.h"
#include "MeasureSession.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace
{
// One status poll's queries through the transport, handed over as the
// window's poll hands them, with its limits.
void RunPoll(TMeasureSession& session, bool extended)
{
    TMeasureSample sample;
    sample.Ms = session.Clock();
    static_cast<TPollReadings&>(sample) = ReadPoll(extended, {});
    sample.MaxCurrent = 40.0;
    sample.ComplianceVoltage = 24.5;
    session.AddSample(sample);
}

QList<QByteArray> FileLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& l : lines)
        l.chop(1); // CR
    return lines;
}
} // namespace

class TestMeasureSession : public QObject
{
    Q_OBJECT

    std::unique_ptr<TLinkFixture> f;
    std::unique_ptr<TMeasureSession> session;

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }
    void init()
    {
        f = std::make_unique<TLinkFixture>(6, 300);
        session = std::make_unique<TMeasureSession>();
        session->Listen();
    }
    void cleanup()
    {
        session.reset();
        QVERIFY(!ExchangeListened());
        f.reset();
    }

    void pollGivesOneSample_data()
    {
        QTest::addColumn<bool>("extended");
        QTest::newRow("basic") << false;
        QTest::newRow("extended") << true;
    }
    void pollGivesOneSample()
    {
        QFETCH(bool, extended);
        for (const auto& [m, r] : QList<std::pair<QByteArray, QByteArray>>{{"CM", "2.5"},
                                                                           {"VM", "5.5"},
                                                                           {"SS", "515"},
                                                                           {"AT", "101"},
                                                                           {"BT", "-7"},
                                                                           {"PD", "0.125"},
                                                                           {"AI", "1e-3"},
                                                                           {"I1", "1"},
                                                                           {"I2", "0"},
                                                                           {"I3", "-1"}})
            f->unit.onLine(";DC:" + m + "?", r + "\r");
        QSignalSpy added(session.get(), &TMeasureSession::SampleAdded);
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        RunPoll(*session, extended);
        QCOMPARE(added.count(), 1);
        QCOMPARE(session->Store().Count(), 1);
        const TMeasureSample& s = *session->Store().Newest();
        QVERIFY(s.Ms >= before && s.Ms <= QDateTime::currentMSecsSinceEpoch());
        QCOMPARE(s.Values[rdCurrent], 2.5);
        QCOMPARE(s.Values[rdVoltage], 5.5);
        QCOMPARE(s.Values[rdStatusWord], 515.0);
        QCOMPARE(s.MaxCurrent, 40.0);
        QCOMPARE(s.ComplianceVoltage, 24.5);
        QCOMPARE(s.Extended(), extended);
        if (extended) {
            const double want[] = {101, -7, 0.125, 1e-3, 1, 0, -1};
            for (int i = rdThermistorA; i < rdCount; ++i) {
                QCOMPARE(s.States[i], rsValue);
                QCOMPARE(s.Values[i], want[i - rdThermistorA]);
            }
        } else {
            QCOMPARE(s.States[rdThermistorA], rsNotAsked);
        }
        // Queries outside a poll (a read-back) make no sample.
        QueryFloat("CM");
        QueryInteger("CFG");
        QCOMPARE(session->Store().Count(), 1);
    }

    // The transport still reads 0 (and logs as before); the sample says why.
    void failedReadingsAreKeptAsSuch()
    {
        QVERIFY(f->StartLog());
        f->unit.onLine(";DC:VM?", "12,5\r");
        f->unit.onLine(";DC:SS?", "\r");
        RunPoll(*session, false); // CM: no reply, times out
        const TMeasureSample& s = *session->Store().Newest();
        QCOMPARE(s.States[rdCurrent], rsTimedOut);
        QCOMPARE(s.States[rdVoltage], rsUnreadable);
        QCOMPARE(s.States[rdStatusWord], rsEmpty);
        QVERIFY(!s.StatusBit(0));
        const QStringList log = f->LogLines();
        QCOMPARE(log.size(), 7); // 3 Sent, 3 Received, 1 Exception Error
        QVERIFY(log[4].startsWith(QStringLiteral("Exception Error. (")));
        const QByteArray line = Csv::SampleLine(s, session->StartMs());
        QVERIFY(line.contains(",poll,,,,,,,,,,,,,,,,,,,,"));
        QVERIFY(line.contains("timed out: CM; empty reply: SS; not a number: VM"));
    }

    void commandsAndRefusalsAreEvents()
    {
        f->unit.onLine(";DC:CS 012.50", "OK\r");
        f->unit.onLine("XY 1", "?\r");
        QSignalSpy events(session.get(), &TMeasureSession::EventAdded);
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        QCOMPARE(SendCommand(QStringLiteral("CS 012.50")), QByteArray("OK"));
        SendRawLine("XY 1");
        appState().CommandsDisabled = true;
        SendCommand(QStringLiteral("CS 013.00"));
        SendRawLine("XY 2");
        appState().CommandsDisabled = false;
        QCOMPARE(events.count(), 4);
        const auto& ev = session->Store().Events();
        QCOMPARE(ev[0].Summary(), QStringLiteral("CS 012.50 \u2192 OK"));
        QCOMPARE(ev[0].Kind, TJournalEvent::evCommand);
        QVERIFY(ev[0].Ms >= before);
        QCOMPARE(ev[1].Kind, TJournalEvent::evTerminal);
        QCOMPARE(ev[1].Summary(), QStringLiteral("XY 1 \u2192 ?"));
        QCOMPARE(ev[2].Summary(), QStringLiteral("CS 013.00 \u2192 refused (Command Disabled)"));
        QVERIFY(ev[3].Raw);
        QCOMPARE(ev[3].Refusal, QStringLiteral("Command Disabled"));
        // Nothing refused reached the wire.
        QCOMPARE(f->unit.lines(), (QList<QByteArray>{";DC:CS 012.50", "XY 1"}));
        QCOMPARE(session->Store().Count(), 0);
    }

    // A command sent while a poll's reply is awaited is refused as in use.
    void commandDuringReplyWaitIsRefusedInUse()
    {
        f->unit.onLine(";DC:CM?", PtyReply::After(200, "2.5\r"));
        f->port.SetAllowEvents(true);
        QTimer::singleShot(50, [] { SendCommand(QStringLiteral("CS 001.00")); });
        QCOMPARE(QueryFloat("CM"), 2.5);
        f->port.SetAllowEvents(false);
        QCOMPARE(int(session->Store().Events().size()), 1);
        QCOMPARE(session->Store().Events()[0].Refusal, QStringLiteral("Comport in use"));
    }

    void recordingWritesEachLineAsItComes()
    {
        f->unit.onLine(";DC:CM?", "2.5\r");
        f->unit.onLine(";DC:VM?", "5.5\r");
        f->unit.onLine(";DC:SS?", "5\r");
        f->unit.onLine(";DC:CS 012.50", "OK\r");
        RunPoll(*session, false); // before recording: not in the file
        const QString path = f->dir.filePath(QStringLiteral("rec.csv"));
        QString error;
        QSignalSpy changed(session.get(), &TMeasureSession::RecordingChanged);
        QVERIFY(session->StartRecording(path, &error));
        QCOMPARE(changed.count(), 1);
        QVERIFY(session->Recording());
        RunPoll(*session, false);
        QCOMPARE(FileLines(path).size(), 2); // flushed at once
        SendCommand(QStringLiteral("CS 012.50"));
        appState().CommandsDisabled = true;
        SendCommand(QStringLiteral("CS 013.00"));
        appState().CommandsDisabled = false;
        RunPoll(*session, false);
        const QList<QByteArray> lines = FileLines(path);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0] + "\r\n", Csv::Header());
        QVERIFY(lines[1].contains(",poll,2.5,5.5,5,1,0,1,"));
        QVERIFY(lines[2].endsWith(",command,,,,,,,,,,,,,,,,,,,,CS 012.50,OK"));
        QVERIFY(lines[3].endsWith(",refused,,,,,,,,,,,,,,,,,,,,CS 013.00,Command Disabled"));
        QVERIFY(lines[4].contains(",poll,"));
        QCOMPARE(session->RecordingSize(), QFile(path).size());
        session->StopRecording();
        RunPoll(*session, false);
        QCOMPARE(FileLines(path).size(), 5);
        QCOMPARE(session->Store().Count(), 4);
    }

    // A full disk mid-recording: the message, recording off, no sample lost.
    void failedWriteStopsRecordingOnly()
    {
        f->unit.onLine(";DC:CM?", "2.5\r");
        f->unit.onLine(";DC:VM?", "5.5\r");
        f->unit.onLine(";DC:SS?", "5\r");
        QString error;
        QVERIFY(session->StartRecording(f->dir.filePath(QStringLiteral("rec.csv")), &error));
        RunPoll(*session, false);
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        QVERIFY(full >= 0);
        QVERIFY(::dup2(full, session->RecordingFile().Handle()) >= 0);
        ::close(full);
        QSignalSpy failed(session.get(), &TMeasureSession::RecordingFailed);
        RunPoll(*session, false);
        QCOMPARE(failed.count(), 1);
        const QString message = failed[0][0].toString();
        QVERIFY2(message.contains(QStringLiteral("rec.csv")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Recording has stopped.")), qPrintable(message));
        QVERIFY(!session->Recording());
        RunPoll(*session, false);
        QCOMPARE(failed.count(), 1); // said once
        QCOMPARE(session->Store().Count(), 3);
    }

    void refusedRecordingFileChangesNothing()
    {
        QString error;
        QVERIFY(!session->StartRecording(QStringLiteral("/dev/full"), &error));
        QVERIFY(error.contains(QStringLiteral("not a regular file")));
        QVERIFY(!session->Recording());
    }

    // Export writes the archive, the full samples and the events in time
    // order, sliced, while the store goes on.
    void exportWritesEverythingInTimeOrder()
    {
        TMeasureSession big(nullptr, 50);
        for (int i = 0; i < 500; ++i) {
            TMeasureSample s;
            s.Ms = 1'000'000 + i * 1000;
            s.Values[rdCurrent] = i;
            s.States[rdCurrent] = rsValue;
            big.AddSample(s);
            if (i % 100 == 50)
                big.AddEvent({s.Ms, TJournalEvent::evCommand, false, "CS 001.00", "OK", {}});
        }
        const int stored = big.Store().Count();
        QVERIFY(stored < 500); // thinned
        TCsvExport exporter;
        QSignalSpy done(&exporter, &TCsvExport::Finished);
        const QString path = f->dir.filePath(QStringLiteral("export.csv"));
        QString error;
        QVERIFY(exporter.Start(path, big.Store(), big.StartMs(), &error));
        TMeasureSample later;
        later.Ms = 9'000'000;
        big.AddSample(later); // not part of the export
        QVERIFY(done.wait(10000));
        QCOMPARE(done[0][0].toBool(), true);
        const QList<QByteArray> lines = FileLines(path);
        // The store as it is while the export walks it, less the later sample.
        QCOMPARE(lines.size(), 1 + big.Store().Count() - 1 + 5);
        QVERIFY(!lines.last().startsWith(Csv::LocalTime(9'000'000)));
        double lastSeconds = -1;
        for (int i = 1; i < lines.size(); ++i) {
            const double sec = lines[i].split(',')[1].toDouble();
            QVERIFY(sec >= lastSeconds);
            lastSeconds = sec;
        }
        QVERIFY(lines[1].startsWith(Csv::LocalTime(1'000'000) + ",0.000,poll,"));

        QVERIFY(!exporter.Start(QStringLiteral("/dev/full"), big.Store(), 0, &error));
        QVERIFY(error.contains(QStringLiteral("not a regular file")));
    }
};

QTEST_GUILESS_MAIN(TestMeasureSession)
#include "tst_measuresession.moc"
