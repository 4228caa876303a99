// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "Communication.h"
#include "Discovery.h"
#include "KxComPort.h"
#include "OtherHolder.h"
#include "PtyUnit.h"
#include "RecordingEcho.h"
#include "ScriptedPrompts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TIdentity)

namespace
{

const QByteArray IdQuery = ";DC:ID?";

// Counts the opens of a device file, so a test can tell a port that was never
// touched from one that was opened and left silent.
class OpenWatch
{
public:
    explicit OpenWatch(const QString& path)
    {
        fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd >= 0)
            inotify_add_watch(fd, QFile::encodeName(path).constData(), IN_OPEN);
    }
    ~OpenWatch()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int opens()
    {
        alignas(inotify_event) char buf[4096];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0) {
            for (char* p = buf; p < buf + n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(p);
                if (ev->mask & IN_OPEN)
                    ++count;
                p += sizeof(inotify_event) + ev->len;
            }
        }
        return count;
    }

private:
    int fd = -1;
    int count = 0;
};

TIdentity Id(const char* company, const char* model, int serial, const char* firmware)
{
    return {company, model, serial, firmware};
}

// What the identity held before the scan, so that kept fields show.
const TIdentity Before = Id("OldCo", "OldModel", 99, "9.9");

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<TKxComPort> port;
    std::unique_ptr<RecordingEcho> echo;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ScopedCommLink> link;

    static QByteArray reply(const char* text) { return QByteArray(text) + "\r\n"; }

private Q_SLOTS:
    void init();
    void cleanup();
    void stopsAtFirstAcceptedUnit();
    void twoUnitsStopAtLowerNumber();
    void singleReply_data();
    void singleReply();
    void answersOnlyFirstQuery();
    void heldPortIsSkipped();
    void noUnitClosesEveryPort();
    void silentPortsKeepIdentity();
    void exchangesAreLogged();
    void outcomeOfEachPort();
    void permissionDeniedSaysHowToFix();
};

void TestDiscovery::init()
{
    prompts = std::make_unique<ScriptedPrompts>();
    port = std::make_unique<TKxComPort>();
    echo = std::make_unique<RecordingEcho>();
    state = std::make_unique<AppState>();
    StoreIdentity(*state, Before);
    link = std::make_unique<ScopedCommLink>(CommLink{port.get(), echo.get(), state.get()});
}

void TestDiscovery::cleanup()
{
    link.reset();
    port.reset();
    state.reset();
    echo.reset();
    QVERIFY2(prompts->shown().isEmpty(), "the scan showed a box");
    prompts.reset();
}

// COM1 opens but stays silent, COM2 answers with another model, COM3 is the
// unit; COM4 would be accepted too but is never opened or written.
void TestDiscovery::stopsAtFirstAcceptedUnit()
{
    PtyUnit silent(1);
    PtyUnit other(2);
    other.onLine(IdQuery, reply("Other Co,1234,5,0.9"));
    PtyUnit unit(3);
    unit.onLine(IdQuery, reply("Maker A,2740,10432,3.1.2"));
    PtyUnit later(4);
    later.onLine(IdQuery, reply("Maker Z,2740,1,1.0"));
    OpenWatch unitOpens(unit.slavePath());
    OpenWatch laterOpens(later.slavePath());

    echo->AppendLine("earlier line", EchoCommandColour);
    QVERIFY(DetectDevice());

    QCOMPARE(IdentityOf(*state), Id("Maker A", "2740", 10432, "3.1.2"));
    QCOMPARE(port->Port(), 3);
    QVERIFY(port->Opened());
    QCOMPARE(port->Baud(), 115200);
    QCOMPARE(port->EndOfResponseRaw(), QByteArray("\r"));
    QVERIFY(!port->AllowEvents());
    QVERIFY(!port->ShowErrors());
    QCOMPARE(port->ResponseTime(), 100u);
    QVERIFY(echo->clears > 0);
    QVERIFY(echo->lines().isEmpty());

    QCOMPARE(silent.lines(), QList<QByteArray>{IdQuery});
    QCOMPARE(other.lines(), QList<QByteArray>({IdQuery, IdQuery}));
    QCOMPARE(unit.lines(), QList<QByteArray>({IdQuery, IdQuery}));
    QVERIFY(unitOpens.opens() > 0); // the watch itself works
    QCOMPARE(laterOpens.opens(), 0);
    QVERIFY(later.received().isEmpty());
}

void TestDiscovery::twoUnitsStopAtLowerNumber()
{
    PtyUnit first(2);
    first.onLine(IdQuery, reply("First,2740,1,1.0"));
    PtyUnit second(5);
    second.onLine(IdQuery, reply("Second,2640,2,2.0"));
    OpenWatch secondOpens(second.slavePath());

    QVERIFY(DetectDevice());
    QCOMPARE(port->Port(), 2);
    QCOMPARE(state->CompanyName, QByteArray("First"));
    QCOMPARE(secondOpens.opens(), 0);
    QVERIFY(second.received().isEmpty());
}

// One unit on COM2 with the given reply: accepted or skipped, and the identity
// the scan leaves behind either way.
void TestDiscovery::singleReply_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<TIdentity>("identity");
    QTest::newRow("firmware with comma")
        << QByteArray("MakerB,2640,7,1.0,beta") << true << Id("MakerB", "2640", 7, "1.0,beta");
    QTest::newRow("model with leading blank")
        << QByteArray("MakerB, 2740,7,1.0") << false << Id("MakerB", " 2740", 7, "1.0");
    QTest::newRow("model with extra character")
        << QByteArray("MakerB,27400,7,1.0") << false << Id("MakerB", "27400", 7, "1.0");
    QTest::newRow("serial not an integer")
        << QByteArray("MakerB,2740,12A,1.0") << true << Id("MakerB", "2740", 99, "9.9");
    QTest::newRow("4 characters") << QByteArray("2740") << false << Id("", "", 0, "");
    QTest::newRow("10 characters") << QByteArray("AB,2740,12") << false << Id("", "", 0, "");
    QTest::newRow("11 characters")
        << QByteArray("AB,2740,123") << true << Id("AB", "2740", 99, "9.9");
}

void TestDiscovery::singleReply()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(TIdentity, identity);
    PtyUnit unit(2);
    unit.onLine(IdQuery, text + "\r\n");

    QCOMPARE(DetectDevice(), accepted);
    QCOMPARE(IdentityOf(*state), identity);
    QCOMPARE(port->Port(), accepted ? 2 : 100);
    QCOMPARE(port->Opened(), accepted);
    QCOMPARE(unit.lines(), QList<QByteArray>({IdQuery, IdQuery}));
}

void TestDiscovery::answersOnlyFirstQuery()
{
    PtyUnit unit(4);
    auto answered = std::make_shared<std::atomic<int>>(0);
    unit.onAnyLine([answered](const QByteArray&) -> std::optional<PtyReply> {
        if (answered->fetch_add(1) == 0)
            return PtyReply::Now("Maker A,2740,10432,3.1.2\r\n");
        return PtyReply::None();
    });

    QVERIFY(!DetectDevice());
    QCOMPARE(IdentityOf(*state), Id("", "", 0, ""));
    QCOMPARE(port->Port(), 100);
    QVERIFY(!port->Opened());
}

// A unit that another program holds cannot be opened: the scan goes on.
void TestDiscovery::heldPortIsSkipped()
{
    PtyUnit held(1);
    held.onLine(IdQuery, reply("Held,2740,1,1.0"));
    PtyUnit free(2);
    free.onLine(IdQuery, reply("Free,2740,2,2.0"));
    TKxComPort holder;
    holder.SetShowErrors(false);
    holder.SetPort(1);
    QVERIFY(holder.Open());

    QVERIFY(DetectDevice());
    QCOMPARE(port->Port(), 2);
    QCOMPARE(state->CompanyName, QByteArray("Free"));
    QVERIFY(held.received().isEmpty());
}

// Silent ports and a unit of another model on the last port: nothing is
// accepted, every port is closed again and the identity is what the last
// answering port replied.
void TestDiscovery::noUnitClosesEveryPort()
{
    PtyUnit a(1), b(7), last(100);
    last.onLine(IdQuery, reply("Other Co,1234,5,0.9"));

    QVERIFY(!DetectDevice());
    QCOMPARE(port->Port(), 100);
    QVERIFY(!port->Opened());
    QCOMPARE(IdentityOf(*state), Id("Other Co", "1234", 5, "0.9"));
    QCOMPARE(a.lines(), QList<QByteArray>{IdQuery});
    QCOMPARE(b.lines(), QList<QByteArray>{IdQuery});
    QCOMPARE(last.lines(), QList<QByteArray>({IdQuery, IdQuery}));
    for (PtyUnit* unit : {&a, &b, &last}) {
        // Nothing of the scan holds the port any more: another user can take it.
        TKxComPort other;
        other.SetShowErrors(false);
        other.SetPort(unit->comNumber());
        QVERIFY2(other.Open(), qPrintable(unit->linkPath()));
    }
}

// Silent ports only: the identity keeps its values.
void TestDiscovery::silentPortsKeepIdentity()
{
    PtyUnit a(2), b(3);
    QVERIFY(!DetectDevice());
    QCOMPARE(IdentityOf(*state), Before);
    QVERIFY(!port->Opened());
}

void TestDiscovery::exchangesAreLogged()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto back = qScopeGuard([&] {
        state->LogFile.Close();
        QDir::setCurrent(previousDir);
    });
    qputenv("USERNAME", "tester");
    PrepareLogging(*state);
    ToggleLoggingState(*state);
    QVERIFY(state->LoggingEnabled);

    PtyUnit silent(1);
    PtyUnit unit(2);
    unit.onLine(IdQuery, reply("Maker A,2740,10432,3.1.2"));
    QVERIFY(DetectDevice());

    QFile log(dir.filePath(state->LogFile.BoundName()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = log.readAll().split('\n');
    QVERIFY(lines.size() > 1);
    lines.removeFirst(); // header
    QStringList exchanges;
    static const QRegularExpression stamp(QStringLiteral("\\(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\)"));
    for (const QByteArray& line : lines) {
        if (!line.trimmed().isEmpty())
            exchanges << QString::fromLatin1(line.chopped(line.endsWith('\r') ? 1 : 0))
                             .replace(stamp, QStringLiteral("(t)"));
    }
    QCOMPARE(exchanges, QStringList({
                            "Sent    (t): ;DC:ID?",
                            "Received(t): ",
                            "Sent    (t): ;DC:ID?",
                            "Received(t): Maker A,2740,10432,3.1.2",
                            "Sent    (t): ;DC:ID?",
                            "Received(t): Maker A,2740,10432,3.1.2",
                        }));
}

namespace
{

// True while some process holds an exclusive lock on the file.
bool Locked(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

} // namespace

// A silent port, a unit of another model, a port another program holds and
// a device that answers with control bytes: one line each, the absent ports
// in ranges, the ports in order.
void TestDiscovery::outcomeOfEachPort()
{
    PtyUnit silent(2), makerX(3), held(5), noisy(9);
    makerX.onLine(IdQuery, reply("MakerX,1234,1,1.0"));
    noisy.onLine(IdQuery, "\x01ok\x1b[0m\r\n");
    OtherHolder holder(held.linkPath());
    QVERIFY2(holder.Started(), "flock(1) is needed");
    QTRY_VERIFY(Locked(held.linkPath()));

    TScanReport report;
    QVERIFY(!DetectDevice(&report));
    QCOMPARE(report.outcomes.size(), 100);
    QCOMPARE(report.outcomes[4].result, TScanResult::Busy);
    const QStringList lines = ScanDetailLines(report);
    const auto where = [](const PtyUnit& u) {
        return QStringLiteral("COM%1 (%2, pseudo-terminal): ").arg(u.comNumber()).arg(u.linkPath());
    };
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], QStringLiteral("COM1, COM4, COM6-COM8, COM10-COM100: no device file"));
    QCOMPARE(lines[1], where(silent) + "no reply within 100 ms");
    QCOMPARE(lines[2], where(makerX) + "answered \"MakerX,1234,1,1.0\": model \"1234\" is not an "
                                       "accepted unit (2740, 2640)");
    QCOMPARE(lines[3],
             where(held) +
                 QStringLiteral("held by another program: flock (process %1)").arg(holder.Pid()));
    QCOMPARE(lines[4], where(noisy) + "answered \"\\x01ok\\x1b[0m\": not an identification");
    // The identity is still what the last answering port said.
    QCOMPARE(state->CompanyName, QByteArray(""));
}

// A port the user may not open: a device file with mode 000. Root may open
// anything, so as root the case runs again in a child process as "nobody".
void TestDiscovery::permissionDeniedSaysHowToFix()
{
    if (::geteuid() == 0) {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("setpriv",
                    {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                     QCoreApplication::applicationFilePath(), "permissionDeniedSaysHowToFix"});
        if (!child.waitForStarted())
            QSKIP("running as root and setpriv(1) is not available to drop to nobody");
        QVERIFY(child.waitForFinished(60000));
        const QByteArray out = child.readAll();
        if (child.exitCode() != 0 && out.contains("setpriv:"))
            QSKIP(qPrintable("running as root and cannot become nobody: " + out.trimmed()));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out);
        QVERIFY2(out.contains("PASS   : TestDiscovery::permissionDeniedSaysHowToFix()"), out);
        return;
    }
    // A directory of its own: the process-wide one may belong to another user.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray previous = qgetenv("MERO_COM_DIR");
    qputenv("MERO_COM_DIR", QFile::encodeName(dir.path()));
    const auto back = qScopeGuard([&] { qputenv("MERO_COM_DIR", previous); });
    QFile file(dir.filePath("COM33"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(file.setPermissions({}));

    TScanReport report;
    QVERIFY(!DetectDevice(&report));
    QCOMPARE(report.outcomes[32].result, TScanResult::PermissionDenied);
    const QStringList lines = ScanDetailLines(report);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("COM1-COM32, COM34-COM100: no device file"));
    QCOMPARE(lines[1], QStringLiteral("COM33 (%1, serial device): permission denied: add yourself "
                                      "to the dialout group with \"sudo usermod -aG dialout "
                                      "$USER\", then log in again")
                           .arg(file.fileName()));
}

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
