// SPDX-License-Identifier: GPL-3.0-or-later
// The measurements CSV: header, fields, quoting, numbers under a comma
// locale, and the file rules (no link, regular files only).
#include "CsvFile.h"
#include "CsvFormat.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const qint64 kStart = QDateTime(QDate(2026, 3, 15), QTime(14, 5, 9, 20)).toMSecsSinceEpoch();

TMeasureSample BasicSample()
{
    TMeasureSample s;
    s.Ms = kStart + 1500;
    s.Values[rdCurrent] = 12.5;
    s.Values[rdVoltage] = 5.25;
    s.Values[rdStatusWord] = 515; // Enabled, Active, Q-SW Enabled
    for (int i : {rdCurrent, rdVoltage, rdStatusWord})
        s.States[i] = rsValue;
    return s;
}

QList<QByteArray> Fields(const QByteArray& line)
{
    QByteArray l = line;
    if (l.endsWith("\r\n"))
        l.chop(2);
    return l.split(',');
}

int Column(const char* name)
{
    return Fields(Csv::Header()).indexOf(QByteArray(name));
}
} // namespace

class TestMeasureCsv : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void header()
    {
        QCOMPARE(Csv::Header(),
                 QByteArray("Time,Seconds,Kind,Current (A),Voltage (V),Status Word,Enabled,Active,"
                            "Ready,Fault,Interlock Control,Over Temp,Crowbar,Ext Trig Enabled,"
                            "Q-SW Enabled,Thermistor A,Thermistor B,PhotoDiode,Spare Analog In,"
                            "Spare In 1,Spare In 2,Spare In 3,Event,Reply\r\n"));
    }

    void basicPollLine()
    {
        const QByteArray line = Csv::SampleLine(BasicSample(), kStart);
        QCOMPARE(line, QByteArray("2026-03-15T14:05:10.520,1.500,poll,12.5,5.25,515,"
                                  "1,1,0,0,0,0,0,0,1,,,,,,,,,\r\n"));
        QCOMPARE(Fields(line).size(), Fields(Csv::Header()).size());
    }

    // A poll against a silent unit is not a row of zeros.
    void failedReadingsAreEmptyAndNamed()
    {
        TMeasureSample s = BasicSample();
        s.States[rdCurrent] = rsTimedOut;
        s.States[rdVoltage] = rsTimedOut;
        s.States[rdStatusWord] = rsUnreadable;
        s.States[rdThermistorA] = rsEmpty;
        const QList<QByteArray> f = Fields(Csv::SampleLine(s, kStart));
        QCOMPARE(f[Column("Current (A)")], QByteArray());
        QCOMPARE(f[Column("Voltage (V)")], QByteArray());
        QCOMPARE(f[Column("Status Word")], QByteArray());
        QCOMPARE(f[Column("Enabled")], QByteArray());
        QCOMPARE(f[Column("Thermistor A")], QByteArray());
        // The event field holds a ';' list, no comma: it needs no quotes.
        QCOMPARE(Csv::PollProblems(s),
                 QStringLiteral("timed out: CM, VM; empty reply: AT; not a number: SS"));
        QVERIFY(Csv::SampleLine(s, kStart).contains("timed out: CM"));
    }

    void extendedColumns()
    {
        TMeasureSample s = BasicSample();
        const double values[] = {101, -7, 0.125, 3.5e-3, 1, 0, -1};
        for (int i = rdThermistorA; i < rdCount; ++i) {
            s.Values[i] = values[i - rdThermistorA];
            s.States[i] = rsValue;
        }
        QVERIFY(s.Extended());
        const QList<QByteArray> f = Fields(Csv::SampleLine(s, kStart));
        QCOMPARE(f.mid(Column("Thermistor A"), 7),
                 (QList<QByteArray>{"101", "-7", "0.125", "0.0035", "1", "0", "-1"}));
    }

    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("fraction") << 12.5 << QByteArray("12.5");
        QTest::newRow("round trip") << 0.1 << QByteArray("0.1");
        QTest::newRow("negative") << -3.25 << QByteArray("-3.25");
        QTest::newRow("huge") << 1e300 << QByteArray("1e+300");
        QTest::newRow("tiny") << 1e-300 << QByteArray("1e-300");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << QByteArray();
        QTest::newRow("inf") << std::numeric_limits<double>::infinity() << QByteArray();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << QByteArray();
    }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QCOMPARE(Csv::Number(value), text);
        if (!text.isEmpty())
            QCOMPARE(text.toDouble(), value);
    }

    // Under a German process and Qt locale the file still has "." points.
    void commaLocale()
    {
        const char* name = nullptr;
        for (const char* n : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
            if (std::setlocale(LC_ALL, n)) {
                name = n;
                break;
            }
        }
        if (!name)
            QSKIP("neither de_DE.UTF-8 nor fr_FR.UTF-8 can be set");
        QLocale::setDefault(QLocale(QString::fromLatin1(name).left(5)));
        char naive[16];
        std::snprintf(naive, sizeof naive, "%.2f", 12.5);
        const QByteArray line = Csv::SampleLine(BasicSample(), kStart);
        const QByteArray header = Csv::Header();
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(QByteArray(naive), QByteArray("12,50")); // the locale was in effect
        QCOMPARE(line, QByteArray("2026-03-15T14:05:10.520,1.500,poll,12.5,5.25,515,"
                                  "1,1,0,0,0,0,0,0,1,,,,,,,,,\r\n"));
        QCOMPARE(Fields(header).size(), 24);
    }

    void quoting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("plain") << QStringLiteral("CS 012.50") << QByteArray("CS 012.50");
        QTest::newRow("comma") << QStringLiteral("a,b") << QByteArray("\"a,b\"");
        QTest::newRow("quote") << QStringLiteral("say \"hi\"") << QByteArray("\"say \"\"hi\"\"\"");
        QTest::newRow("line break") << QStringLiteral("a\nb") << QByteArray("\"a\nb\"");
        QTest::newRow("cr") << QStringLiteral("a\rb") << QByteArray("\"a\rb\"");
        QTest::newRow("leading blank") << QStringLiteral(" x") << QByteArray("\" x\"");
        QTest::newRow("latin-1") << QStringLiteral("\u00b5A")
                                 << QByteArray("\xc2\xb5"
                                               "A");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void quoting()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        QCOMPARE(Csv::Field(text), field);
    }

    void eventLines_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("command") << int(TJournalEvent::evCommand) << "CS 012.50"
                                 << "OK"
                                 << ""
                                 << QByteArray(",command,,,,,,,,,,,,,,,,,,,,CS 012.50,OK\r\n");
        QTest::newRow("terminal") << int(TJournalEvent::evTerminal) << "ab,c"
                                  << "x\"y"
                                  << ""
                                  << QByteArray(
                                         ",terminal,,,,,,,,,,,,,,,,,,,,\"ab,c\",\"x\"\"y\"\r\n");
        QTest::newRow("refused") << int(TJournalEvent::evRefused) << "CS 012.50"
                                 << ""
                                 << "Command Disabled"
                                 << QByteArray(",refused,,,,,,,,,,,,,,,,,,,,CS 012.50,Command "
                                               "Disabled\r\n");
    }
    void eventLines()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QString, reply);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, tail);
        TJournalEvent e;
        e.Ms = kStart + 61'005;
        e.Kind = TJournalEvent::TKind(kind);
        e.Text = text;
        e.Reply = reply;
        e.Refusal = refusal;
        QCOMPARE(Csv::EventLine(e, kStart), "2026-03-15T14:06:10.025,61.005" + tail);
    }

    void summaryForTooltips()
    {
        TJournalEvent e{0, TJournalEvent::evCommand, false, "CS 012.50", "OK", {}};
        QCOMPARE(e.Summary(), QStringLiteral("CS 012.50 \u2192 OK"));
        e.Kind = TJournalEvent::evRefused;
        e.Refusal = QStringLiteral("Comport in use");
        QCOMPARE(e.Summary(), QStringLiteral("CS 012.50 \u2192 refused (Comport in use)"));
    }

    void fileRules_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link") << "link"
                              << "symbolic link";
        QTest::newRow("fifo") << "fifo"
                              << "not a regular file";
        QTest::newRow("device") << "device"
                                << "not a regular file";
        QTest::newRow("directory") << "directory"
                                   << "";
        QTest::newRow("read-only folder") << "readonly"
                                          << "";
    }
    void fileRules()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("m.csv"));
        const QString target = dir.filePath(QStringLiteral("target.csv"));
        if (kind == QLatin1String("link")) {
            QFile t(target);
            QVERIFY(t.open(QIODevice::WriteOnly));
            t.write("keep");
            t.close();
            QVERIFY(QFile::link(target, path));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("device")) {
            path = QStringLiteral("/dev/full");
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("m.csv")));
        } else {
            if (::geteuid() == 0)
                QSKIP("root writes into a read-only folder");
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        }
        TCsvFile file;
        QString error;
        QVERIFY(!file.Open(path, &error));
        QVERIFY(!file.IsOpen());
        QVERIFY2(error.startsWith(QStringLiteral("Cannot write \"") + path + QLatin1Char('"')),
                 qPrintable(error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY(!file.WriteLine("x\r\n", &error));
        if (kind == QLatin1String("link")) {
            QFile t(target);
            QVERIFY(t.open(QIODevice::ReadOnly));
            QCOMPARE(t.readAll(), QByteArray("keep")); // not followed, not emptied
        }
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void writesWholeLinesAndCountsSize()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("m.csv"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("an older and longer content\n");
        }
        TCsvFile file;
        QString error;
        QVERIFY(file.Open(path, &error));
        QVERIFY(file.WriteLine(Csv::Header(), &error));
        QVERIFY(file.WriteLine("a,b\r\n", &error));
        // Each line is on disk as soon as it is written.
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), Csv::Header() + "a,b\r\n");
        QCOMPARE(file.Size(), Csv::Header().size() + 5);
    }
};

QTEST_GUILESS_MAIN(TestMeasureCsv)
#include "tst_measurecsv.moc"
