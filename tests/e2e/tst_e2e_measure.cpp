// SPDX-License-Identifier: GPL-3.0-or-later
// The measurements window of the real program under Xvfb against the
// virtual unit (extended variant): Ctrl+M of View > Measurements opens it,
// Record… takes a file name in the file box, and the file fills with a row
// per poll while a setting changes (Enable clicked in the main window).
//
// Set MERO_E2E_SHOTS to a directory to keep the screenshot.
#include "E2ESupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestE2EMeasure : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    e2e::Screen screen{qEnvironmentVariable("DISPLAY")};
    e2e::SimUnit sim;
    e2e::MeroRun mero;

    // The file's rows after the header, split into fields (no field of
    // this session holds a comma).
    QList<QList<QByteArray>> Rows(const QString& path, QByteArray* header = nullptr)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = f.readAll().split('\n');
        QList<QList<QByteArray>> rows;
        for (int i = 0; i < lines.size(); ++i) {
            if (!lines[i].endsWith('\r'))
                continue; // the last, still open line
            lines[i].chop(1);
            if (i == 0 && header)
                *header = lines[i];
            else if (i > 0)
                rows << lines[i].split(',');
        }
        return rows;
    }
    static int PollsAfter(const QList<QList<QByteArray>>& rows, int from)
    {
        int n = 0;
        for (int i = from; i < rows.size(); ++i)
            n += rows[i].value(2) == "poll";
        return n;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString why = e2e::NotReady(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(dir.isValid());
    }
    void cleanup()
    {
        mero.Stop();
        sim.Stop();
    }

    void recordWhileASettingChanges()
    {
        QVERIFY(sim.Start(dir.path(), 3, {"--config", "1"}));
        QVERIFY(mero.Start(screen.Display(), dir.path()));
        const QString main = screen.WaitForWindow(QStringLiteral("MERO/VRX    Ver: 1.4.1.1"));
        QVERIFY(!main.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(sim.Received().contains(";DC:SS?"), 10000);
        const QByteArray mainGeometry =
            screen.Run("xdotool", {"getwindowgeometry", "--shell", main});

        screen.Key(main, QStringLiteral("ctrl+m"));
        const QString window = screen.WaitForWindow(QStringLiteral("MERO Measurements"), 10000);
        QVERIFY(!window.isEmpty());
        // Beside the main window (there is no window manager to place it).
        screen.Run("xdotool", {"windowmove", "--sync", window, "380", "0"});
        // The main window keeps its size.
        QCOMPARE(screen.Run("xdotool", {"getwindowgeometry", "--shell", main}), mainGeometry);

        const QString path = dir.filePath(QStringLiteral("recorded.csv"));
        screen.Key(window, QStringLiteral("alt+r"));
        const QString box = screen.WaitForWindow(QStringLiteral("Record Measurements"), 10000);
        QVERIFY(!box.isEmpty());
        screen.Key(box, QStringLiteral("ctrl+a"));
        screen.Run("xdotool", {"type", "--delay", "5", path});
        screen.Run("xdotool", {"key", "Return"});
        QTRY_VERIFY_WITH_TIMEOUT(Rows(path).size() >= 2, 10000);

        // Enable in the main window: a set command and its reply in the file,
        // and the Enabled bit in the polls after it.
        screen.Run("xdotool", {"mousemove", "--window", main, "33", "232", "click", "1"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.Received().contains(";DC:EN 1"), 10000);
        int commandRow = -1;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const auto rows = Rows(path);
                for (int i = 0; i < rows.size(); ++i)
                    if (rows[i].value(2) == "command")
                        commandRow = i;
                return commandRow >= 0 && PollsAfter(rows, commandRow) >= 3;
            }(),
            15000);

        QByteArray header;
        const auto rows = Rows(path, &header);
        const QList<QByteArray> columns = header.split(',');
        QCOMPARE(columns.size(), 24);
        QCOMPARE(rows[commandRow].value(columns.indexOf("Event")), QByteArray("EN 1"));
        QVERIFY(!rows[commandRow].value(columns.indexOf("Reply")).isEmpty());
        for (const auto& row : rows) {
            QCOMPARE(row.size(), columns.size());
            if (row[2] != "poll")
                continue;
            for (const char* c : {"Current (A)", "Voltage (V)", "Status Word", "Thermistor A",
                                  "PhotoDiode", "Spare In 3"})
                QVERIFY2(!row[columns.indexOf(c)].isEmpty(), c);
        }
        QCOMPARE(rows.last()[columns.indexOf("Enabled")], QByteArray("1"));
        QCOMPARE(rows[0][columns.indexOf("Enabled")], QByteArray("0"));

        const QString shots = qEnvironmentVariable("MERO_E2E_SHOTS", dir.path());
        QVERIFY(!screen.Shot(window, QDir(shots).filePath(QStringLiteral("measurements-e2e.png")))
                     .isNull());
    }
};

MERO_E2E_MAIN(QApplication, TestE2EMeasure)
#include "tst_e2e_measure.moc"
