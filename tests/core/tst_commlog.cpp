// SPDX-License-Identifier: GPL-3.0-or-later
// The communication log file: name, header, line ends, life cycle, failures.
#include "AppState.h"
#include "CommLog.h"
#include "SavedEnvironment.h"
#include "ScriptedPrompts.h"
#include "TempWorkingDir.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

class TestCommLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<TTempWorkingDir> dir;
    std::unique_ptr<ScriptedPrompts> prompts;
    TSavedEnvironment user{"USERNAME"};

    QByteArray fileBytes(const QString& name)
    {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Every file below the temporary directory.
    QStringList allFiles()
    {
        QStringList out;
        QDirIterator it(dir->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            out << it.next();
        return out;
    }

private Q_SLOTS:
    void init()
    {
        appState().Reset();
        dir = std::make_unique<TTempWorkingDir>();
        prompts = std::make_unique<ScriptedPrompts>();
    }
    void cleanup()
    {
        appState().Reset();
        prompts.reset();
        dir.reset();
    }

    void fileName_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<bool>("set");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("user") << QByteArray("opsuser") << true
                              << QByteArray("MEROControllerLogFile_opsuser_03-15-24_14-05-09.txt");
        QTest::newRow("empty") << QByteArray() << true
                               << QByteArray("MEROControllerLogFile__03-15-24_14-05-09.txt");
        QTest::newRow("unset") << QByteArray() << false
                               << QByteArray("MEROControllerLogFile__03-15-24_14-05-09.txt");
    }
    void fileName()
    {
        QFETCH(QByteArray, user);
        QFETCH(bool, set);
        QFETCH(QByteArray, expected);
        if (set)
            qputenv("USERNAME", user);
        else
            qunsetenv("USERNAME");
        PrepareLogging(appState(), QDateTime(QDate(2024, 3, 15), QTime(14, 5, 9)));
        QCOMPARE(appState().UserName, user);
        QCOMPARE(appState().LogStamp, QByteArray("03-15-24_14-05-09"));
        QCOMPARE(appState().LogFile.BoundName(), expected);
        QVERIFY(!appState().LoggingEnabled);
        QVERIFY(allFiles().isEmpty()); // binding creates nothing
    }

    void stampUsesTwentyFourHours()
    {
        QCOMPARE(FormatLogStamp(QDateTime(QDate(2009, 12, 1), QTime(23, 59, 58))),
                 QByteArray("12-01-09_23-59-58"));
    }

    void headerAndLinesReachDiskAtOnce()
    {
        qputenv("USERNAME", "tester");
        PrepareLogging(appState());
        QList<bool> states;
        appState().LogFile.OnStateChanged = [&](bool on) { states << on; };
        ToggleLoggingState(appState());
        QVERIFY(appState().LoggingEnabled);
        QCOMPARE(states, QList<bool>{true});
        const QString name = QString::fromLatin1(appState().LogFile.BoundName());
        QVERIFY(QFile::exists(name));

        const QByteArray header = fileBytes(name);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^Communication Log File [^,\r\n]+,[^\r\n]+\r\n$"))
                .match(QString::fromLatin1(header))
                .hasMatch(),
            header.constData());
        QVERIFY(header.startsWith(
            "Communication Log File " +
            QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toLatin1() +
            ","));

        // Read while it is open: each line is there as soon as it is written.
        WriteLogLine(appState(), QStringLiteral("first"));
        QCOMPARE(fileBytes(name), header + "first\r\n");
        WriteLogLine(appState(), QStringLiteral("caf\u00e9 \u20ac \U0001F600"));
        QCOMPARE(fileBytes(name), header + "first\r\ncaf\xe9 ? ?\r\n");

        ToggleLoggingState(appState());
        QVERIFY(!appState().LoggingEnabled);
        QCOMPARE(states, (QList<bool>{true, false}));
        WriteLogLine(appState(), QStringLiteral("not logged"));
        QCOMPARE(fileBytes(name), header + "first\r\ncaf\xe9 ? ?\r\n");
        QVERIFY(prompts->shown().isEmpty());
    }

    void switchingOnAgainStartsAfresh()
    {
        appState().LogFile.Bind("log.txt");
        ToggleLoggingState(appState());
        WriteLogLine(appState(), QStringLiteral("old line"));
        ToggleLoggingState(appState());
        ToggleLoggingState(appState());
        WriteLogLine(appState(), QStringLiteral("new line"));
        const QList<QByteArray> lines = fileBytes(QStringLiteral("log.txt")).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("Communication Log File "));
        QCOMPARE(lines[1], QByteArray("new line\r"));
    }

    void lineForms()
    {
        const QTime t(9, 3, 7, 45);
        QCOMPARE(TimeStamp(t), QStringLiteral("09:03:07.045"));
        QCOMPARE(LogSentLine(QStringLiteral(";DC:ID?"), t),
                 QStringLiteral("Sent    (09:03:07.045): ;DC:ID?"));
        QCOMPARE(LogReceivedLine(QStringLiteral("x"), t),
                 QStringLiteral("Received(09:03:07.045): x"));
        QCOMPARE(LogExceptionLine(t), QStringLiteral("Exception Error. (09:03:07.045)"));
        QCOMPARE(LogCommandDisabledLine(QStringLiteral("CS 1"), t),
                 QStringLiteral("Command Disabled:    (09:03:07.045): CS 1"));
        QCOMPARE(LogComportInUseLine(QStringLiteral("CS 1"), t),
                 QStringLiteral("Comport in use: (09:03:07.045): CS 1"));
    }

    void unusableNameGivesMessage_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::newRow("slash") << QByteArray("../escape");
        QTest::newRow("line break") << QByteArray("a\nb");
        QTest::newRow("too long") << QByteArray(300, 'u');
    }
    void unusableNameGivesMessage()
    {
        QFETCH(QByteArray, user);
        // Make the directory an unguarded name would use exist, so only the
        // check keeps the file from being written.
        QDir(dir->path()).mkpath(QStringLiteral("MEROControllerLogFile_.."));
        qputenv("USERNAME", user);
        PrepareLogging(appState());
        QList<bool> states;
        appState().LogFile.OnStateChanged = [&](bool on) { states << on; };
        ToggleLoggingState(appState());
        QVERIFY(!appState().LoggingEnabled);
        QCOMPARE(states.last(), false);
        QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::Warning),
                 QStringList{LogFailureMessage()});
        QVERIFY(allFiles().isEmpty());
        QVERIFY(!QFile::exists(dir->path() + QStringLiteral("/../escape_") +
                               QString::fromLatin1(appState().LogStamp) + QStringLiteral(".txt")));
    }

    void unwritableDirectoryGivesMessage()
    {
        // A working directory that no longer exists refuses new files, also for root.
        const QString gone = dir->filePath(QStringLiteral("gone"));
        QDir().mkpath(gone);
        QDir::setCurrent(gone);
        QDir().rmdir(gone);
        appState().LogFile.Bind("log.txt");
        ToggleLoggingState(appState());
        QVERIFY(!appState().LoggingEnabled);
        QVERIFY(!appState().LogFile.IsOpen());
        QCOMPARE(prompts->shown().size(), 1);
        QCOMPARE(prompts->shown().first().text, LogFailureMessage());
        QVERIFY(allFiles().isEmpty());
    }

    void noRegularFileGivesMessage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO, nobody reading") << QStringLiteral("fifo");
        QTest::newRow("FIFO with a reader") << QStringLiteral("fifo+reader");
        QTest::newRow("directory") << QStringLiteral("dir");
    }
    void noRegularFileGivesMessage()
    {
        // A file in the working directory must never hang the program or take the log.
        QFETCH(QString, kind);
        const QByteArray name = "log.txt";
        int reader = -1;
        if (kind.startsWith(QStringLiteral("fifo"))) {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
            if (kind.endsWith(QStringLiteral("reader")))
                reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        } else {
            QVERIFY(QDir().mkdir(QString::fromLatin1(name)));
        }
        appState().LogFile.Bind(name);
        ToggleLoggingState(appState());
        QVERIFY(!appState().LoggingEnabled);
        QVERIFY(!appState().LogFile.IsOpen());
        QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::Warning),
                 QStringList{LogFailureMessage()});
        if (reader >= 0) {
            char byte = 0;
            QCOMPARE(::read(reader, &byte, 1), ssize_t(0)); // no header went into the FIFO
            ::close(reader);
        }
    }
};

QTEST_GUILESS_MAIN(TestCommLog)
#include "tst_commlog.moc"
