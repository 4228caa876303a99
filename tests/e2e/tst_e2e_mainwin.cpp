// The real program under Xvfb against the virtual unit: it finds the unit,
// reads every setting back, polls once a second and shows the status word in
// its lamps; a unit that disappears brings up the lost-port box.
//
// Set MERO_E2E_SHOTS to a directory to keep the screenshots (docs/ holds them).
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

QString Bin(const QString& name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

struct TraceLine {
    qint64 us = 0;
    QByteArray kind;
    QByteArray text;
};

} // namespace

class TestE2EMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QProcess xvfb, sim, mero;
    QString display;

    QString TracePath() const { return dir.filePath("trace.txt"); }

    QList<TraceLine> Trace() const
    {
        QFile f(TracePath());
        QList<TraceLine> out;
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() < 2)
                continue;
            TraceLine t;
            t.us = parts[0].toLongLong();
            t.kind = parts[1];
            t.text = line.mid(parts[0].size() + parts[1].size() + 2);
            out << t;
        }
        return out;
    }
    QList<QByteArray> Received() const
    {
        QList<QByteArray> rx;
        for (const TraceLine& t : Trace())
            if (t.kind == "RX")
                rx << t.text;
        return rx;
    }

    QByteArray Run(const QString& program, const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start(program, args);
        p.waitForFinished(10000);
        return p.readAllStandardOutput().trimmed();
    }

    // The id of the window with exactly this title, or empty after the deadline.
    QString WaitForWindow(const QString& title, int ms = 30000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            const QByteArray ids = Run("xdotool", {"search", "--onlyvisible", "--name",
                                                   "^" + QRegularExpression::escape(title) + "$"});
            if (!ids.isEmpty())
                return QString::fromLatin1(ids.split('\n').first());
            QTest::qWait(100);
        }
        return {};
    }

    QImage Shot(const QString& window, const QString& name)
    {
        const QString shots = qEnvironmentVariable("MERO_E2E_SHOTS", dir.path());
        const QString file = QDir(shots).filePath(name);
        Run("import", {"-window", window, file});
        return QImage(file);
    }

    void StartSim(const QStringList& extra)
    {
        // A sanitizer report from a child must reach the test's output.
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(Bin("mero-sim"), QStringList{"--com-dir", dir.path(), "--port", "3", "--trace",
                                               TracePath(), "--no-noise"} +
                                       extra);
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("COM3")), 5000);
    }

    void StartMero()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("MERO_COM_DIR", dir.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        mero.setProcessEnvironment(env);
        mero.setWorkingDirectory(dir.path());
        mero.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        mero.start(Bin("mero"), {});
        QVERIFY(mero.waitForStarted());
    }

    static void Stop(QProcess& p)
    {
        if (p.state() == QProcess::NotRunning)
            return;
        p.terminate();
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(2000);
        }
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
        for (const char* tool : {"Xvfb", "xdotool", "import"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 not installed").arg(tool)));
        QVERIFY(QFile::exists(Bin("mero")) && QFile::exists(Bin("mero-sim")));
        xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-noreset",
                            "-nolisten", "tcp"});
        QVERIFY(xvfb.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(xvfb.canReadLine(), 10000);
        display = ":" + QString::fromLatin1(xvfb.readLine().trimmed());
    }
    void cleanupTestCase() { Stop(xvfb); }
    void cleanup()
    {
        Stop(mero);
        Stop(sim);
        QFile::remove(TracePath());
    }

    void basicUnit() { CheckUnit("MERO    Ver: 1.4.1.1", false, "mainwindow-basic.png"); }
    void extendedUnit() { CheckUnit("MERO/VRX    Ver: 1.4.1.1", true, "mainwindow-vrx.png"); }
    void lostPortEndsOnNo();
};

void TestE2EMainWindow::CheckUnit(const QString& title, bool extended, const QString& shotName)
{
    StartSim(extended ? QStringList{"--config", "1"} : QStringList{});
    StartMero();
    const QString window = WaitForWindow(title);
    QVERIFY2(!window.isEmpty(), qPrintable(title));
    const QByteArray geometry = Run("xdotool", {"getwindowgeometry", "--shell", window});
    QVERIFY2(geometry.contains("WIDTH=375") && geometry.contains("HEIGHT=620"), geometry);

    // The scan's two identification queries, then the read-back in its order.
    QStringList readBack{"CFG"};
    if (extended)
        readBack << "QD"
                 << "QE"
                 << "ET"
                 << "SY"
                 << "AO";
    readBack << "MC"
             << "MR"
             << "CS"
             << "RR"
             << "PW"
             << "CV"
             << "RC"
             << "TB"
             << "IC"
             << "PE"
             << "EN"
             << "ST"
             << "BC"
             << "PM"
             << "IC"
             << "BDG";
    QList<QByteArray> expected{";DC:ID?", ";DC:ID?"};
    for (const QString& m : readBack)
        expected << ";DC:" + m.toLatin1() + "?";
    QTRY_VERIFY_WITH_TIMEOUT(Received().size() >= expected.size(), 10000);
    QCOMPARE(Received().mid(0, expected.size()), expected);

    // Polls follow once a second.
    auto polls = [this] {
        QList<qint64> at;
        for (const TraceLine& t : Trace())
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
    const QList<QByteArray> rx = Received();
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
        for (const TraceLine& t : Trace()) {
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
    StartSim({"--unplug-after", "4"});
    StartMero();
    QVERIFY(!WaitForWindow("MERO    Ver: 1.4.1.1").isEmpty());
    const QString box = WaitForWindow("MERO Application", 15000);
    QVERIFY2(!box.isEmpty(), "no lost-port box");
    Shot(box, "lost-port-box.png");
    // Escape answers No: the program ends. Keys go through XTEST to the
    // focused window; synthetic events sent to a window are ignored.
    Run("xdotool", {"windowfocus", "--sync", box});
    Run("xdotool", {"key", "Escape"});
    QVERIFY(mero.waitForFinished(10000));
    QCOMPARE(mero.exitStatus(), QProcess::NormalExit);
    QCOMPARE(mero.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestE2EMainWindow)
#include "tst_e2e_mainwin.moc"
