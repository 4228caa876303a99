// SPDX-License-Identifier: GPL-3.0-or-later
// "--help" and "--version" of mero and mero-sim: printed and answered with 0
// before any window or port exists, so they work without a display.
#include "InfoSwitches.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestInfoSwitches : public QObject
{
    Q_OBJECT

    struct Run {
        int code = -1;
        QByteArray out, err;
    };
    // A program of build/bin with no display at all and the X11 platform
    // forced: constructing a QApplication there would abort.
    static Run Start(const QString& program, const QStringList& args, const QString& comDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("MERO_COM_DIR", comDir);
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(comDir);
        p.start(QDir(QCoreApplication::applicationDirPath()).filePath(program), args);
        Run r;
        if (p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit)
            r.code = p.exitCode();
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("help");
        QTest::newRow("--help") << QStringList{"--help"} << true;
        QTest::newRow("--version") << QStringList{"--version"} << false;
        QTest::newRow("first decides") << QStringList{"-log", "--version", "--help"} << false;
    }
    void answers()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, help);
        QTemporaryDir dir;
        // A port that must stay untouched: a scan would open it.
        QFile port(dir.filePath("COM1"));
        QVERIFY(port.open(QIODevice::WriteOnly));
        port.close();
        QVERIFY(port.setPermissions({}));
        const QDateTime before = QFileInfo(port).lastRead();

        const Run r = Start("mero", args, dir.path());
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(r.err.isEmpty());
        if (help) {
            for (const char* word :
                 {"-log", "-pick", "-demo", "\"-\" or \"/\"", "MERO_COM_DIR", "USERNAME",
                  "Right Shift", "Left Shift", "Control", "--version", "dialout"})
                QVERIFY2(r.out.contains(word), word);
        } else {
            QCOMPARE(r.out, QByteArray("MERO 1.4.1.1\n"));
        }
        // No log was started and no file appeared.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
                 QStringList{"COM1"});
        QCOMPARE(QFileInfo(port).lastRead(), before);
    }

    void simVersion()
    {
        QTemporaryDir dir;
        const Run r = Start("mero-sim", {"--version"}, dir.path());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("mero-sim 1.4.1.1\n"));
        QVERIFY(Start("mero-sim", {"--help"}, dir.path()).out.contains("--version"));
    }

    // Only whole arguments count; the specified switches are untouched.
    void wholeArgumentsOnly()
    {
        for (const char* arg : {"-help", "/help", "--HELP", "--versions", "-log", "help"}) {
            const char* argv[] = {"mero", arg};
            QVERIFY2(!InfoSwitchAnswer(2, argv), arg);
        }
        const char* none[] = {"mero"};
        QVERIFY(!InfoSwitchAnswer(1, none));
    }
};

QTEST_GUILESS_MAIN(TestInfoSwitches)
#include "tst_infoswitches.moc"
