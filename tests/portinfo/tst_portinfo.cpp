// SPDX-License-Identifier: GPL-3.0-or-later
// Port descriptions, open problems and port holders without any real adapter:
// the tests supply the port list.
#include "EscapedText.h"
#include "FakePortSource.h"
#include "PortInfo.h"
#include "PortProblem.h"
#include "PtyUnit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TPortRecord)
Q_DECLARE_METATYPE(TOpenProblem)

namespace
{

// An empty file COM1 in dir, opened; the descriptor (or -1).
int OpenPortFile(const QTemporaryDir& dir)
{
    QFile f(dir.filePath("COM1"));
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    f.close();
    return ::open(QFile::encodeName(f.fileName()).constData(), O_RDONLY | O_CLOEXEC);
}

} // namespace

class TestPortInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void describesKnownDevices_data();
    void describesKnownDevices();
    void pseudoTerminalIsOne();
    void oddRecordsStayBounded_data();
    void oddRecordsStayBounded();
    void classifiesOpenErrors_data();
    void classifiesOpenErrors();
    void findsHolderOfLockedDevice();
    void unreadableProcLeavesNameOut();
    void escapesControls();
};

void TestPortInfo::describesKnownDevices_data()
{
    QTest::addColumn<TPortRecord>("record");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("detailLines");
    QTest::newRow("FTDI adapter")
        << FakePortSource::Ftdi() << "FT232R USB UART (FTDI, serial A50285BI)"
        << QStringList{
               "Kind: USB serial adapter",
               "Stable name: /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
               "USB vendor:product: 0403:6001"};
    QTest::newRow("CDC-ACM device")
        << FakePortSource::CdcAcm() << "Pico (Raspberry Pi, serial E66138935F4B6B2C)"
        << QStringList{"Kind: USB CDC-ACM device", "USB vendor:product: 2e8a:000a"};
    QTest::newRow("built-in ttyS0") << FakePortSource::BuiltIn() << "built-in serial port"
                                    << QStringList{"Kind: built-in serial port"};
    // Qt reports the device name as the description of some drivers.
    TPortRecord named = FakePortSource::BuiltIn();
    named.description = "ttyS0";
    QTest::newRow("description repeats the name")
        << named << "built-in serial port" << QStringList{"Product: ttyS0"};
}

void TestPortInfo::describesKnownDevices()
{
    QFETCH(TPortRecord, record);
    QFETCH(QString, summary);
    QFETCH(QStringList, detailLines);
    FakePortSource source;
    TPortRecord other = FakePortSource::BuiltIn();
    other.systemLocation = "/dev/ttyS1";
    source.records << other << record;
    source.link("/ports/COM7", record.systemLocation);

    const TPortDescription d = DescribePort("/ports/COM7");
    QCOMPARE(d.canonicalPath, record.systemLocation);
    QVERIFY(!d.pseudoTerminal);
    QCOMPARE(d.Summary(), summary);
    const QStringList lines = d.Details().split('\n');
    QCOMPARE(lines.first(), QStringLiteral("Device: /ports/COM7"));
    for (const QString& line : detailLines)
        QVERIFY2(lines.contains(line), qPrintable(d.Details()));
}

void TestPortInfo::pseudoTerminalIsOne()
{
    PtyUnit unit(3);
    // Even a list entry claiming the device does not make it an adapter.
    FakePortSource source;
    source.records << TPortRecord{unit.slavePath(), "Fake", "Nobody", "1", false, 0, 0, ""};
    const TPortDescription d = DescribePort(unit.linkPath());
    QVERIFY(d.pseudoTerminal);
    QCOMPARE(d.canonicalPath, unit.slavePath());
    QVERIFY2(d.Summary().startsWith("pseudo-terminal"), qPrintable(d.Summary()));
    QVERIFY(d.Details().contains("Links to: " + unit.slavePath()));
}

void TestPortInfo::oddRecordsStayBounded_data()
{
    QTest::addColumn<TPortRecord>("record");
    QTest::addColumn<QString>("summary");
    TPortRecord odd = FakePortSource::Ftdi();
    odd.description = QString::fromUtf8("FT\x01"
                                        "232\r\nR\x7f");
    odd.manufacturer = QString(QChar(0xD800)); // a lone surrogate
    odd.serialNumber.clear();
    QTest::newRow("control bytes")
        << odd << QString::fromUtf8("FT\\x01232\\r\\nR\\x7f (\xef\xbf\xbd)");
    TPortRecord empty;
    empty.systemLocation = "/dev/ttyUSB0";
    QTest::newRow("nothing but the location") << empty << "USB serial adapter";
    TPortRecord longName = FakePortSource::Ftdi();
    longName.description = QString(5000, 'x');
    longName.manufacturer = QString(5000, 'y');
    longName.serialNumber = QString(5000, 'z');
    QTest::newRow("very long fields") << longName << QString();
}

void TestPortInfo::oddRecordsStayBounded()
{
    QFETCH(TPortRecord, record);
    QFETCH(QString, summary);
    FakePortSource source;
    source.records << record;
    source.link("/ports/COM33", "/dev/ttyUSB0");
    const TPortDescription d = DescribePort("/ports/COM33");
    if (!summary.isEmpty())
        QCOMPARE(d.Summary(), summary);
    QVERIFY2(d.Summary().size() <= 220, qPrintable(QString::number(d.Summary().size())));
    QVERIFY(d.Details().size() <= 1000);
    for (const QString& text : {d.Summary(), d.Details()})
        for (const QChar c : text)
            QVERIFY(c == '\n' || (c.unicode() >= 0x20 && c.unicode() != 0x7f && !c.isSurrogate()));
}

void TestPortInfo::classifiesOpenErrors_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<TOpenProblem>("problem");
    QTest::addColumn<QString>("text");
    QTest::newRow("ENOENT") << ENOENT << TOpenProblem::NoDevice << "no device file";
    QTest::newRow("EIO (ttyS without UART)") << EIO << TOpenProblem::NoDevice << "no device file";
    QTest::newRow("EACCES") << EACCES << TOpenProblem::PermissionDenied << "permission denied";
    QTest::newRow("EBUSY (TIOCEXCL)") << EBUSY << TOpenProblem::Busy << "held by another program";
    QTest::newRow("EWOULDBLOCK (flock)")
        << EWOULDBLOCK << TOpenProblem::Busy << "held by another program";
    QTest::newRow("EINVAL") << EINVAL << TOpenProblem::Other
                            << "could not be opened (Invalid argument)";
}

void TestPortInfo::classifiesOpenErrors()
{
    QFETCH(int, error);
    QFETCH(TOpenProblem, problem);
    QFETCH(QString, text);
    QCOMPARE(ClassifyOpenError(error), problem);
    QCOMPARE(OpenProblemText(problem, error), text);
    QCOMPARE(OpenProblemAdvice(problem).contains("sudo usermod -aG dialout $USER"),
             problem == TOpenProblem::PermissionDenied);
}

void TestPortInfo::findsHolderOfLockedDevice()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("COM1");
    const int fd = OpenPortFile(dir);
    QVERIFY(fd >= 0);
    const QList<TPortHolder> holders = FindPortHolders(file);
    ::close(fd);
    QCOMPARE(holders.size(), 1);
    QCOMPARE(holders.first().pid, qint64(::getpid()));
    QCOMPARE(holders.first().program, QStringLiteral("tst_portinfo"));
    QCOMPARE(HoldersText(holders), QStringLiteral("tst_portinfo (process %1)").arg(::getpid()));
    QVERIFY(FindPortHolders(file).isEmpty());
}

void TestPortInfo::unreadableProcLeavesNameOut()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("COM1");
    const int fd = OpenPortFile(dir);
    QVERIFY(fd >= 0);
    QVERIFY(::flock(fd, LOCK_EX) == 0);
    // A /proc without descriptors or program names, but with the kernel's
    // lock table: the holder is known by its number only.
    QTemporaryDir proc;
    QVERIFY(QFile::copy("/proc/locks", proc.filePath("locks")));
    const QList<TPortHolder> byLock = FindPortHolders(file, proc.path());
    QVERIFY(QFile::remove(proc.filePath("locks")));
    const QList<TPortHolder> none = FindPortHolders(file, proc.path());
    const QList<TPortHolder> missing = FindPortHolders(file, "/nonexistent-proc");
    ::close(fd);
    QCOMPARE(byLock.size(), 1);
    QCOMPARE(byLock.first().pid, qint64(::getpid()));
    QVERIFY(byLock.first().program.isEmpty());
    QCOMPARE(HoldersText(byLock), QStringLiteral("process %1").arg(::getpid()));
    QVERIFY(none.isEmpty());
    QVERIFY(missing.isEmpty());
}

void TestPortInfo::escapesControls()
{
    QCOMPARE(EscapedLatin1("MakerX,1234\r\x01\xe9"),
             QString::fromUtf8("MakerX,1234\\r\\x01\xc3\xa9"));
    QCOMPARE(EscapedText(QString(10, 'a'), 4), QStringLiteral("aaaa..."));
    QCOMPARE(EscapedLatin1(QByteArray(100000, 'b')).size(), 123);
}

QTEST_GUILESS_MAIN(TestPortInfo)
#include "tst_portinfo.moc"
