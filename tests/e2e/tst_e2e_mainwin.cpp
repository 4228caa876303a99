// SPDX-License-Identifier: GPL-3.0-or-later
// The real program under Xvfb against the virtual unit: it finds the unit,
// reads every setting back, polls once a second and shows the status word in
// its lamps; a unit that disappears brings up the lost-port box.
//
// Set MERO_E2E_SHOTS to a directory to keep the screenshots (docs/ holds them).
#include "E2ESupport.h"
#include "ReadBackOrder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using e2e::TraceLine;

class TestE2EMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    e2e::Screen screen{qEnvironmentVariable("DISPLAY")};
    e2e::SimUnit sim;
    e2e::MeroRun mero;

    QImage Shot(const QString& window, const QString& name)
    {
        const QString shots = qEnvironmentVariable("MERO_E2E_SHOTS", dir.path());
        return screen.Shot(window, QDir(shots).filePath(name));
    }

    // Lamps of the status group, top to bottom: true for a red fill. They
    // sit in one column; each starts with its red outline.
    static QList<bool> Lamps(const QImage& img)
    {
        QList<bool> lit;
        const int x = 19; // the lamps' centre column in the window
        auto red = [&](int y) {
            const QColor c = img.pixelColor(x, y);
            return c.red() > 200 && c.green() < 90 && c.blue() < 90;
        };
        for (int y = 1; y < img.height() / 2; ++y) {
            if (red(y) && !red(y - 1)) {
                lit << red(y + 8);
                y += 16;
            }
        }
        return lit;
    }

    void CheckUnit(const QString& title, bool extended, const QString& shotName);

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
    }

    void basicUnit() { CheckUnit("MERO    Ver: 1.4.1.1", false, "mainwindow-basic.png"); }
    void extendedUnit() { CheckUnit("MERO/VRX    Ver: 1.4.1.1", true, "mainwindow-vrx.png"); }
    void lostPortEndsOnNo();
};

void TestE2EMainWindow::CheckUnit(const QString& title, bool extended, const QString& shotName)
{
    QVERIFY(sim.Start(dir.path(), 3, extended ? QStringList{"--config", "1"} : QStringList{}));
    QVERIFY(mero.Start(screen.Display(), dir.path()));
    const QString window = screen.WaitForWindow(title);
    QVERIFY2(!window.isEmpty(), qPrintable(title));
    const QByteArray geometry = screen.Run("xdotool", {"getwindowgeometry", "--shell", window});
    QVERIFY2(geometry.contains("WIDTH=375") && geometry.contains("HEIGHT=620"), geometry);
    // The window carries the program's icon.
    const QByteArray icon = screen.Run("xprop", {"-id", window, "-len", "64", "_NET_WM_ICON"});
    QVERIFY2(icon.startsWith("_NET_WM_ICON(CARDINAL) ="), icon);

    // The scan's two identification queries, then the read-back in its order.
    const QList<QByteArray> expected =
        QList<QByteArray>{";DC:ID?", ";DC:ID?"} + ReadBackQueries(extended);
    QTRY_VERIFY_WITH_TIMEOUT(sim.Received().size() >= expected.size(), 10000);
    QCOMPARE(sim.Received().mid(0, expected.size()), expected);

    // Polls follow once a second.
    auto polls = [this] {
        QList<qint64> at;
        for (const TraceLine& t : sim.Trace())
            if (t.kind == "RX" && t.text == ";DC:SS?")
                at << t.us;
        return at;
    };
    QTRY_VERIFY_WITH_TIMEOUT(polls().size() >= 4, 10000);
    const QList<qint64> at = polls();
    for (int i = 1; i < at.size(); ++i) {
        const qint64 gap = at[i] - at[i - 1];
        QVERIFY2(gap > 900000 && gap < 1700000, qPrintable(QString::number(gap)));
    }
    const QList<QByteArray> rx = sim.Received();
    const int firstPoll = int(expected.size());
    QList<QByteArray> poll;
    if (extended)
        poll << ";DC:AT?"
             << ";DC:BT?"
             << ";DC:PD?"
             << ";DC:AI?"
             << ";DC:I1?"
             << ";DC:I2?"
             << ";DC:I3?";
    poll << ";DC:CM?"
         << ";DC:VM?"
         << ";DC:SS?";
    QCOMPARE(rx.mid(firstPoll, poll.size()), poll);

    // The lamps show the status word of the last poll.
    auto lastStatus = [this] {
        QByteArray word;
        bool asked = false;
        for (const TraceLine& t : sim.Trace()) {
            if (t.kind == "RX")
                asked = t.text == ";DC:SS?";
            else if (t.kind == "TX" && asked)
                word = t.text;
        }
        return word.replace("\\x0D", "").replace("\\x0A", "").toInt();
    };
    QImage img;
    int word = -1;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int before = lastStatus();
        img = Shot(window, shotName);
        if (lastStatus() == before) {
            word = before;
            break;
        }
    }
    QVERIFY(!img.isNull());
    QVERIFY(word >= 0);
    const QList<bool> lamps = Lamps(img);
    const QList<int> bits =
        extended ? QList<int>{0, 1, 2, 3, 4, 5, 6, 8, 9} : QList<int>{0, 1, 2, 3, 4, 5, 6};
    QCOMPARE(lamps.size(), bits.size());
    for (int i = 0; i < bits.size(); ++i)
        QCOMPARE(lamps[i], bool((word >> bits[i]) & 1));
}

void TestE2EMainWindow::lostPortEndsOnNo()
{
    QVERIFY(sim.Start(dir.path(), 3, {"--unplug-after", "4"}));
    QVERIFY(mero.Start(screen.Display(), dir.path()));
    QVERIFY(!screen.WaitForWindow("MERO    Ver: 1.4.1.1").isEmpty());
    const QString box = screen.WaitForWindow("MERO Application", 15000);
    QVERIFY2(!box.isEmpty(), "no lost-port box");
    Shot(box, "lost-port-box.png");
    QVERIFY(screen.ShowsBox(box, QMessageBox::Warning, "Port no longer available, restart?",
                            QMessageBox::Yes | QMessageBox::No));
    // Escape answers No: the program ends.
    screen.Key(box, "Escape");
    QVERIFY(mero.Process().waitForFinished(10000));
    QCOMPARE(mero.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(mero.Process().exitCode(), 0);
}

MERO_E2E_MAIN(QApplication, TestE2EMainWindow)
#include "tst_e2e_mainwin.moc"
