// SPDX-License-Identifier: GPL-3.0-or-later
// The real program's start-up paths under Xvfb, seen from the outside: the
// "-log" switch writes the exchanges to the log file as they happen, a unit
// that never answers brings the "No device found" box, and Left Shift held
// at start brings demo mode, which leaves the unit alone.
#include "E2ESupport.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// The main window, with the caption it is created with or one a read-back gives.
const QString MainWindowPattern = QStringLiteral("^MERO((/VRX)?    Ver: .*)?$");

QByteArray TrimEnd(QByteArray text)
{
    while (!text.isEmpty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.chop(1);
    return text;
}

} // namespace

class TestE2EStartup : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    e2e::Screen screen{qEnvironmentVariable("DISPLAY")};
    e2e::SimUnit sim;
    e2e::MeroRun mero;
    bool shiftHeld = false;

    // Fails the test when a main window is on the screen.
    void NoMainWindow()
    {
        const QStringList shown = screen.WindowsMatching(MainWindowPattern);
        QVERIFY2(shown.isEmpty(), "the main window appeared");
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString why = e2e::NotReady(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(QFile::exists(e2e::Bin("mero")) && QFile::exists(e2e::Bin("mero-sim")));
        QVERIFY(dir.isValid());
    }
    void cleanup()
    {
        mero.Stop();
        sim.Stop();
        if (shiftHeld)
            screen.KeyUp("Shift_L");
        shiftHeld = false;
        QDir d(dir.path());
        for (const QString& f : d.entryList({"MEROControllerLogFile_*"}, QDir::Files))
            d.remove(f);
    }

    void logSwitchWritesExchanges();
    void silentUnitNoEndsWithoutWindow();
    void leftShiftEntersDemoMode();
};

void TestE2EStartup::logSwitchWritesExchanges()
{
    QVERIFY(sim.Start(dir.path(), 3));
    const QDateTime started = QDateTime::currentDateTime();
    QVERIFY(mero.Start(screen.Display(), dir.path(), {"-log"}, {"USERNAME=opsuser"}));
    QVERIFY(!screen.WaitForWindow("MERO    Ver: 1.4.1.1").isEmpty());
    const QDateTime shown = QDateTime::currentDateTime();
    // Two polls after the read-back.
    auto polls = [this] { return sim.Received().count(";DC:SS?"); };
    QTRY_VERIFY_WITH_TIMEOUT(polls() >= 2, 10000);

    // One file, named for the user and the start-up time, in the working directory.
    const QStringList files = QDir(dir.path()).entryList({"MEROControllerLogFile_*"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const QRegularExpressionMatch name =
        QRegularExpression(
            "^MEROControllerLogFile_opsuser_(\\d\\d-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)\\.txt$")
            .match(files.first());
    QVERIFY2(name.hasMatch(), qPrintable(files.first()));
    QDateTime stamp = QDateTime::fromString(name.captured(1), "MM-dd-yy_HH-mm-ss");
    stamp = stamp.addYears(100 * ((started.date().year() - stamp.date().year() + 50) / 100));
    QVERIFY2(stamp >= started.addSecs(-1) && stamp <= shown.addSecs(1),
             qPrintable(stamp.toString(Qt::ISODate)));

    // Read while MERO runs: every line is in the file as soon as it is written.
    QFile file(dir.filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.endsWith("\r\n"));
    QList<QByteArray> lines = content.split('\n');
    lines.removeLast();
    for (QByteArray& line : lines) {
        QVERIFY2(line.endsWith('\r'), line);
        line.chop(1);
        QVERIFY2(!line.contains('\r'), line);
    }
    QVERIFY2(lines.first().startsWith("Communication Log File ") && lines.first().contains(','),
             lines.first());

    // Then pairs of Sent and Received lines, in the order of the exchanges.
    const QRegularExpression sentForm("^Sent    \\(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\): (.*)$");
    const QRegularExpression receivedForm("^Received\\(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\): (.*)$");
    QList<QByteArray> sent, received;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]);
        const QRegularExpressionMatch m = (i % 2 ? sentForm : receivedForm).match(line);
        QVERIFY2(m.hasMatch(), lines[i]);
        (i % 2 ? sent : received) << m.captured(1).toLatin1();
    }

    // The unit saw exactly the logged lines and gave exactly the logged replies;
    // the log starts with the scan, and polls went on after the read-back.
    const QList<QByteArray> rx = sim.Received();
    QList<QByteArray> replies;
    for (const QByteArray& r : sim.Replies())
        replies << TrimEnd(r);
    QVERIFY(sent.size() >= 2 + 20 + 3);
    QCOMPARE(sent.first(), QByteArray(";DC:ID?"));
    QCOMPARE(sent, rx.mid(0, sent.size()));
    QCOMPARE(received, replies.mid(0, received.size()));
    QVERIFY(sent.contains(";DC:SS?"));
}

void TestE2EStartup::silentUnitNoEndsWithoutWindow()
{
    QVERIFY(sim.Start(dir.path(), 3, {"--silent"}));
    QVERIFY(mero.Start(screen.Display(), dir.path()));
    const QString box = screen.WaitForWindow("MERO Application", 30000, [this] { NoMainWindow(); });
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(!box.isEmpty(), "no box");
    // The specified text and buttons; why the scan failed waits, collapsed,
    // behind "Show Details...".
    const QString details = QStringLiteral("COM1-COM2, COM4-COM100: no device file\n"
                                           "COM3 (%1/COM3, pseudo-terminal): "
                                           "no reply within 100 ms")
                                .arg(dir.path());
    QVERIFY(screen.ShowsBox(box, QMessageBox::Warning,
                            "No device found. Try to reconnect?\n\n"
                            "Make sure unit is fully powered on\n"
                            "before selecting Yes",
                            QMessageBox::Yes | QMessageBox::No, details));

    // No: the program ends, and the window never shows.
    screen.Key(box, "n");
    QElapsedTimer t;
    t.start();
    while (mero.Running() && t.elapsed() < 10000) {
        NoMainWindow();
        if (QTest::currentTestFailed())
            return;
        mero.Process().waitForFinished(100);
    }
    QVERIFY(!mero.Running());
    QCOMPARE(mero.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(mero.Process().exitCode(), 0);
    // The scan asked once; the port was not opened again for a read-back.
    QCOMPARE(sim.Received(), QList<QByteArray>{";DC:ID?"});
}

void TestE2EStartup::leftShiftEntersDemoMode()
{
    // A unit on COM1, the port demo mode keeps: it must hear nothing.
    QVERIFY(sim.Start(dir.path(), 1));
    screen.KeyDown("Shift_L");
    shiftHeld = true;
    QVERIFY(mero.Start(screen.Display(), dir.path()));
    const QString box = screen.WaitForWindow("MERO Application", 30000, [this] { NoMainWindow(); });
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(!box.isEmpty(), "no box");
    screen.KeyUp("Shift_L");
    shiftHeld = false;
    QVERIFY(screen.ShowsBox(box, QMessageBox::Information, "Entering Demo Mode", QMessageBox::Ok));

    // No read-back, so the window keeps the caption it was created with.
    screen.Key(box, "Return");
    QVERIFY(!screen.WaitForWindow("MERO").isEmpty());
    QVERIFY(mero.Running());
    // Longer than a poll period: demo mode neither reads back nor polls.
    QTest::qWait(1500);
    QVERIFY(mero.Running());
    QCOMPARE(sim.Received(), QList<QByteArray>{});
}

MERO_E2E_MAIN(QApplication, TestE2EStartup)
#include "tst_e2e_startup.moc"
