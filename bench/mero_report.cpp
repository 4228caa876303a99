// SPDX-License-Identifier: GPL-3.0-or-later
// Measures MERO against the limits of its link in one run and prints one
// table with the goal and PASS/FAIL of each row:
//   exchange round trip against the 1 ms pause floor and against a plain
//   pyserial client, read-back of the basic and the VRX unit, scan over 100
//   absent ports, processor use of a silent wait, change-to-wire delay, and
//   the resident memory of the real program polling the virtual unit.
//
// Usage: bench_report [--quick] [--minutes N]
// Needs mero and mero-sim beside it in build/bin and a Python 3 with
// pyserial (/usr/bin/python3 from python3-serial, or $MERO_PYTHON).
#include "AppState.h"
#include "BenchSupport.h"
#include "Communication.h"
#include "KxComPort.h"
#include "MEROMain.h"
#include "PtyResponder.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

struct Options {
    bool quick = false;
    double minutes = 10;
    bool minutesGiven = false;
};

struct Row {
    QString measure;
    QString result;
    QString goal;
    QString verdict; // PASS, FAIL or empty (figure for comparison only)
};

std::vector<Row> rows;

void Add(const QString& measure, const QString& result, const QString& goal = {},
         std::optional<bool> pass = std::nullopt)
{
    rows.push_back({measure, result, goal, pass ? (*pass ? "PASS" : "FAIL") : QString()});
    std::fprintf(stderr, "  %s: %s %s\n", qPrintable(measure), qPrintable(result),
                 pass ? (*pass ? "PASS" : "FAIL") : "");
}

QString Ms(double v, int decimals = 3)
{
    return QString::number(v, 'f', decimals) + QStringLiteral(" ms");
}

QString Triple(const Summary& s)
{
    return QStringLiteral("mean %1, median %2, p99 %3 (n = %4)")
        .arg(Ms(s.mean), Ms(s.median), Ms(s.p99))
        .arg(s.count);
}

void Progress(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
}

QString LoadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readLine()).section(QLatin1Char(' '), 0, 2);
}

QString BinPath(const QString& name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

bool WaitForFile(const QString& path, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!QFileInfo::exists(path)) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// A program started for the run and ended by its process id.
class Child
{
public:
    bool Start(const QString& program, const QStringList& args,
               const QList<std::pair<QString, QString>>& env, const QString& workDir)
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : env)
            e.insert(name, value);
        process.setProcessEnvironment(e);
        process.setWorkingDirectory(workDir);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, args);
        return process.waitForStarted(5000);
    }
    qint64 Pid() const { return process.processId(); }
    bool Running() const { return process.state() == QProcess::Running; }
    void Stop()
    {
        const qint64 pid = Pid();
        if (pid <= 0)
            return;
        ::kill(pid_t(pid), SIGTERM);
        if (!process.waitForFinished(5000)) {
            ::kill(pid_t(pid), SIGKILL);
            process.waitForFinished(2000);
        }
    }
    ~Child() { Stop(); }

private:
    QProcess process;
};

// A virtual unit on COM<n> of dir, tracing what it receives.
struct Sim {
    Child child;
    QString trace;
    bool Start(const QString& dir, int com, const QStringList& extra)
    {
        trace = dir + QStringLiteral("/trace-COM") + QString::number(com) + QStringLiteral(".txt");
        QStringList args{QStringLiteral("--com-dir"), dir,
                         QStringLiteral("--port"),    QString::number(com),
                         QStringLiteral("--trace"),   trace};
        args += extra;
        return child.Start(BinPath(QStringLiteral("mero-sim")), args, {}, dir) &&
               WaitForFile(dir + QStringLiteral("/COM") + QString::number(com), 5000);
    }
    // The unit's trace: time stamp (monotonic µs), RX or TX, line.
    struct Event {
        qint64 us;
        QByteArray kind, text;
    };
    std::vector<Event> Events() const
    {
        QFile f(trace);
        std::vector<Event> events;
        if (!f.open(QIODevice::ReadOnly))
            return events;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() >= 3)
                events.push_back({parts[0].toLongLong(), parts[1], parts[2]});
        }
        return events;
    }
    // Lines the unit has received so far.
    int Received() const
    {
        QFile f(trace);
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        int n = 0;
        while (!f.atEnd())
            n += f.readLine().contains(" RX ");
        return n;
    }
};

QString Python()
{
    const QString chosen = qEnvironmentVariable("MERO_PYTHON");
    if (!chosen.isEmpty())
        return chosen;
    // The Debian interpreter, where python3-serial lives, before any other on PATH.
    if (QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable())
        return QStringLiteral("/usr/bin/python3");
    return QStringLiteral("python3");
}

// Runs the pyserial client for count queries; appends its round trips.
// Runs the pyserial client for count queries (pauseMs before each, untimed);
// appends its round trips.
bool RunPyserial(const QString& link, int count, int pauseMs, std::vector<double>& times,
                 QString& error)
{
    QProcess py;
    py.start(Python(), {BinPath(QStringLiteral("pyserial_exchange.py")), link,
                        QString::number(count), QString::number(pauseMs)});
    if (!py.waitForFinished(120000) || py.exitCode() != 0) {
        error = QString::fromLocal8Bit(py.readAllStandardError()).trimmed();
        if (error.isEmpty())
            error = py.errorString();
        return false;
    }
    int answered = -1;
    for (const QByteArray& line : py.readAllStandardOutput().split('\n')) {
        if (line.startsWith("answered "))
            answered = line.mid(9).toInt();
        else if (!line.isEmpty())
            times.push_back(line.toDouble());
    }
    if (answered != count) {
        error = QStringLiteral("pyserial client: %1 of %2 answered").arg(answered).arg(count);
        return false;
    }
    return true;
}

void SetUpPort(TKxComPort& port, int com, bool allowEvents)
{
    port.Close();
    port.SetShowErrors(false);
    port.SetBaud(115200);
    port.SetEndOfResponse("#13");
    port.SetResponseTime(5000);
    port.SetPort(com);
    port.Open();
    port.SetAllowEvents(allowEvents);
}

// Exchange round trip against the floor and against the pyserial client, in
// alternating blocks so that all of them see the same load on the machine.
Summary ExchangeRows(PtyResponder& unit, int count)
{
    Progress("exchange round trip (pty responder, pyserial client)");
    std::vector<double> exchanges, pauses, pyPaced, pyBackToBack;
    int answered = 0;
    QString pyError;
    constexpr int Blocks = 5;
    const int perBlock = std::max(1, count / Blocks);
    {
        TKxComPort port;
        ScopedCommLink link({&port, nullptr, nullptr});
        for (int b = 0; b < Blocks; ++b) {
            // The program's setting after start-up: reply waits dispatch events.
            SetUpPort(port, unit.comNumber(), true);
            double ms = 0;
            for (int i = 0; i < 10; ++i)
                TimeQuery("X", ms); // warm-up
            for (int i = 0; i < perBlock; ++i) {
                pauses.push_back(TimePause());
                answered += TimeQuery("X", ms) == "1";
                exchanges.push_back(ms);
            }
            // The client cannot open the port while the program holds its lock.
            port.Close();
            if (pyError.isEmpty())
                RunPyserial(unit.linkPath(), perBlock, 1, pyPaced, pyError);
            if (pyError.isEmpty())
                RunPyserial(unit.linkPath(), perBlock, 0, pyBackToBack, pyError);
        }
    }
    const Summary floor = Summarize(pauses);
    const Summary x = Summarize(exchanges);
    Add(QStringLiteral("1 ms pause floor (bare 1 ms sleep)"), Triple(floor));
    const bool allAnswered = answered == int(exchanges.size());
    Add(QStringLiteral("MERO exchange round trip, pty responder") +
            (allAnswered
                 ? QString()
                 : QStringLiteral(" (%1 of %2 answered)").arg(answered).arg(exchanges.size())),
        Triple(x) + QStringLiteral("; median %1 over the floor").arg(Ms(x.median - floor.median)),
        QStringLiteral("median within 0.3 ms of the floor"),
        allAnswered && x.median - floor.median <= 0.3);
    if (!pyError.isEmpty()) {
        Add(QStringLiteral("pyserial client round trip, same responder"),
            QStringLiteral("not measured: ") + pyError);
        return floor;
    }
    const Summary paced = Summarize(pyPaced);
    const Summary b2b = Summarize(pyBackToBack);
    Add(QStringLiteral("pyserial client round trip, 1 ms idle before each query"), Triple(paced));
    Add(QStringLiteral("pyserial client round trip, back to back"), Triple(b2b));
    const double meroOwn = x.median - floor.median;
    Add(QStringLiteral("MERO exchange less its pause vs pyserial, same rhythm (medians)"),
        QStringLiteral("%1 vs %2; means %3 vs %4")
            .arg(Ms(meroOwn), Ms(paced.median), Ms(x.mean - floor.mean), Ms(paced.mean)),
        QStringLiteral("MERO no slower"), meroOwn <= paced.median);
    Add(QStringLiteral("MERO exchange less its pause vs pyserial back to back (medians)"),
        QStringLiteral("%1 vs %2").arg(Ms(meroOwn), Ms(b2b.median)));
    return floor;
}

Summary SimExchangeRow(int com, int count)
{
    Progress("exchange round trip (mero-sim)");
    TKxComPort port;
    ScopedCommLink link({&port, nullptr, nullptr});
    SetUpPort(port, com, true);
    std::vector<double> times;
    int answered = 0;
    for (int i = 0; i < count; ++i) {
        double ms = 0;
        answered += !TimeQuery("MC", ms).isEmpty();
        times.push_back(ms);
    }
    Add(QStringLiteral("MERO exchange round trip, mero-sim (%1 answered)").arg(answered),
        Triple(Summarize(times)));
    return Summarize(times);
}

void ReadBackRow(TMERO_App& window, const Sim& sim, int com, int queries, int runs,
                 const Summary& floor, const Summary& simExchange)
{
    Progress(queries == 17 ? "read-back, basic unit" : "read-back, VRX unit");
    TKxComPort& port = *window.ComPort;
    // As at start-up: the read-back runs before reply waits dispatch events.
    SetUpPort(port, com, false);
    std::vector<double> times;
    int asked = 0;
    double cpu = 0;
    // The first read-back of a window also pays one-time costs (fonts, glyphs).
    window.Initialize();
    window.StatusTimer->stop();
    for (int i = 0; i < runs; ++i) {
        const int before = sim.Received();
        const double cpu0 = CpuSeconds(RUSAGE_THREAD);
        const Clock::time_point start = Clock::now();
        window.Initialize();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        cpu += CpuSeconds(RUSAGE_THREAD) - cpu0;
        window.StatusTimer->stop();
        asked = sim.Received() - before;
        QCoreApplication::processEvents();
    }
    // From the unit's side: the time from each reply to MERO's next query of
    // the same read-back (MERO takes the reply, shows it, pauses, writes).
    // Read-backs are told apart by their first query, CFG.
    std::vector<double> gaps;
    const std::vector<Sim::Event> events = sim.Events();
    int readBack = 0;
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        const Sim::Event& e = events[i];
        if (e.kind == "RX" && e.text.startsWith(";DC:CFG?"))
            ++readBack;
        const Sim::Event& next = events[i + 1];
        // The first read-back was the untimed warm-up.
        if (readBack >= 2 && e.kind == "TX" && next.kind == "RX" &&
            !next.text.startsWith(";DC:CFG?"))
            gaps.push_back(double(next.us - e.us) / 1000.0);
    }
    const Summary g = Summarize(gaps);
    const Summary s = Summarize(times);
    const double perQuery = floor.median + 0.3;
    Add(QStringLiteral("read-back, %1 queries (%2 asked), mero-sim").arg(queries).arg(asked),
        Triple(s) + QStringLiteral("; fastest %5; %1 × floor = %2; %1 × median exchange with "
                                   "mero-sim = %3; processor time %4 per read-back; from a "
                                   "reply to the next query (unit's trace): median %6, p99 %7")
                        .arg(queries)
                        .arg(Ms(queries * floor.median), Ms(queries * simExchange.median),
                             Ms(1000 * cpu / runs, 2), Ms(s.min), Ms(g.median), Ms(g.p99)),
        QStringLiteral("median ≤ %1 × (floor + 0.3 ms) = %2")
            .arg(queries)
            .arg(Ms(queries * perQuery, 1)),
        asked == queries && s.median <= queries * perQuery);
}

void ScanRow(int scans)
{
    Progress("scan over 100 absent ports");
    const QByteArray saved = qgetenv("MERO_COM_DIR");
    QTemporaryDir empty;
    qputenv("MERO_COM_DIR", QFile::encodeName(empty.path()));
    AppState state;
    std::vector<double> times;
    for (int i = 0; i < scans; ++i)
        times.push_back(ScanMs(state));
    qputenv("MERO_COM_DIR", saved);
    const Summary s = Summarize(times);
    Add(QStringLiteral("scan over 100 absent ports"),
        QStringLiteral("median %1, max %2 (n = %3)").arg(Ms(s.median), Ms(s.max)).arg(s.count),
        QStringLiteral("< 50 ms"), s.median < 50);
}

void SilentWaitRows(PtyResponder& unit, int ms)
{
    Progress("processor use during silent waits");
    TKxComPort port;
    SetUpPort(port, unit.comNumber(), true);
    unit.setSilent(true);
    for (bool allowEvents : {true, false}) {
        const double percent = SilentWaitCpuPercent(port, ms, allowEvents);
        Add(QStringLiteral("processor use, %1 s silent wait, AllowEvents %2")
                .arg(ms / 1000.0)
                .arg(allowEvents ? "on" : "off"),
            QStringLiteral("%1 % of one core").arg(percent, 0, 'f', 2), QStringLiteral("< 2 %"),
            percent < 2);
    }
    unit.setSilent(false);
    port.Close();
}

void ChangeToWireRow(TMERO_App& window, PtyResponder& unit, int samples)
{
    Progress("change-to-wire delay");
    SetUpPort(*window.ComPort, unit.comNumber(), true);
    window.TaskTimer->start();
    int lost = 0;
    const Summary s = Summarize(ChangeToWire(window, unit, samples, lost));
    window.TaskTimer->stop();
    window.ComPort->Close();
    Add(QStringLiteral("change-to-wire delay of a setting, idle link") +
            (lost ? QStringLiteral(" (%1 lost)").arg(lost) : QString()),
        Triple(s), QStringLiteral("median < 10 ms"), lost == 0 && s.median < 10);
}

qint64 VmRssKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    // Files under /proc report size 0: read them whole, never test atEnd().
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// User + system time of a process, in seconds.
double ProcessCpu(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = f.readAll();
    // Fields after the command name, which may hold blanks: state is field 3.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

void MemoryRow(double minutes)
{
    Progress("resident memory of mero polling mero-sim");
    QTemporaryDir dir;
    Sim sim;
    if (!sim.Start(dir.path(), 3, {})) {
        Add(QStringLiteral("resident memory of mero"), QStringLiteral("mero-sim did not start"));
        return;
    }
    Child mero;
    const QString platform =
        qEnvironmentVariable("MERO_BENCH_PLATFORM", QStringLiteral("offscreen"));
    if (!mero.Start(BinPath(QStringLiteral("mero")), {},
                    {{QStringLiteral("MERO_COM_DIR"), dir.path()},
                     {QStringLiteral("QT_QPA_PLATFORM"), platform}},
                    dir.path())) {
        Add(QStringLiteral("resident memory of mero"), QStringLiteral("mero did not start"));
        return;
    }
    const qint64 pid = mero.Pid();
    const qint64 totalMs = qint64(minutes * 60000);
    // Start-up (scan, read-back, first polls, font caches) settles first.
    const qint64 warmUpMs = std::clamp<qint64>(totalMs / 10, 5000, 60000);
    qint64 start = -1, end = -1, max = 0, first = -1;
    int queriesAtStart = 0;
    double cpuAtStart = 0;
    QElapsedTimer t;
    t.start();
    int lastReport = 0;
    while (t.elapsed() < totalMs && mero.Running()) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const qint64 rss = VmRssKiB(pid);
        if (rss < 0)
            break;
        if (first < 0)
            first = rss;
        if (start < 0 && t.elapsed() >= warmUpMs) {
            start = rss;
            queriesAtStart = sim.Received();
            cpuAtStart = ProcessCpu(pid);
        }
        if (start >= 0)
            max = std::max(max, rss);
        end = rss;
        if (const int minute = int(t.elapsed() / 60000); minute > lastReport) {
            lastReport = minute;
            std::fprintf(stderr, "  minute %d: VmRSS %lld KiB\n", minute, (long long)rss);
        }
    }
    const bool running = mero.Running();
    const double seconds = double(t.elapsed() - warmUpMs) / 1000.0;
    const double cpu = ProcessCpu(pid) - cpuAtStart;
    const int queries = sim.Received() - queriesAtStart;
    mero.Stop();
    sim.child.Stop();
    if (!running || start < 0) {
        Add(QStringLiteral("resident memory of mero"),
            QStringLiteral("mero ended early (after %1 s)").arg(t.elapsed() / 1000));
        return;
    }
    const qint64 growth = end - start;
    // "No growth": at most a few pages of allocator noise over the run.
    constexpr qint64 AllowedKiB = 64;
    Add(QStringLiteral("resident memory of mero, %1 min polling mero-sim (%2 queries answered)")
            .arg(minutes)
            .arg(queries),
        QStringLiteral("at launch %1 KiB; after %2 s warm-up %3 KiB; end %4 KiB; max %5 KiB; "
                       "growth %6 KiB")
            .arg(first)
            .arg(warmUpMs / 1000)
            .arg(start)
            .arg(end)
            .arg(max)
            .arg(growth),
        QStringLiteral("no growth (end − start ≤ %1 KiB)").arg(AllowedKiB), growth <= AllowedKiB);
    Add(QStringLiteral("processor use of mero while polling mero-sim"),
        QStringLiteral("%1 % of one core over %2 s")
            .arg(100 * cpu / seconds, 0, 'f', 2)
            .arg(seconds, 0, 'f', 0));
}

bool ParseOptions(const QStringList& args, Options& o)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--quick")) {
            o.quick = true;
        } else if (args[i] == QStringLiteral("--minutes") && i + 1 < args.size()) {
            bool ok = false;
            o.minutes = args[++i].toDouble(&ok);
            if (!ok || o.minutes <= 0)
                return false;
            o.minutesGiven = true;
        } else {
            return false;
        }
    }
    if (o.quick && !o.minutesGiven)
        o.minutes = 0.5;
    return true;
}

void PrintTable(const QString& started, const QString& loadBefore, const QString& loadAfter,
                const Options& o)
{
    std::printf("MERO performance report, %s%s\n", qPrintable(started),
                o.quick ? " (quick run)" : "");
    std::printf("machine: %s, %d cores, kernel %s; load average (1/5/15 min) %s at start, %s at "
                "end\n\n",
                qPrintable(QSysInfo::prettyProductName()), QThread::idealThreadCount(),
                qPrintable(QSysInfo::kernelVersion()), qPrintable(loadBefore),
                qPrintable(loadAfter));
    std::printf("| Measure | Result | Goal | |\n|---|---|---|---|\n");
    for (const Row& r : rows)
        std::printf("| %s | %s | %s | %s |\n", qPrintable(r.measure), qPrintable(r.result),
                    qPrintable(r.goal), qPrintable(r.verdict));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options o;
    if (!ParseOptions(app.arguments(), o)) {
        std::fprintf(stderr, "usage: bench_report [--quick] [--minutes N]\n");
        return 2;
    }
    const int exchanges = o.quick ? 200 : 2000;
    const int readBacks = o.quick ? 5 : 30;
    const int scans = o.quick ? 10 : 50;
    const int silentMs = o.quick ? 2000 : 5000;
    const int changes = o.quick ? 50 : 300;

    const QString started = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QString loadBefore = LoadAverage();
    ScriptedPrompts prompts;
    NoKeys keys;
    InstallKeyState(&keys);

    QTemporaryDir dir;
    qputenv("MERO_COM_DIR", QFile::encodeName(dir.path()));
    PtyResponder responder(dir.path(), 9);
    Sim basic, vrx;
    if (!basic.Start(dir.path(), 3, {QStringLiteral("--no-noise")}) ||
        !vrx.Start(
            dir.path(), 4,
            {QStringLiteral("--no-noise"), QStringLiteral("--config"), QStringLiteral("1")})) {
        std::fprintf(stderr, "mero-sim did not start (build it: cmake --build build --target "
                             "mero-sim)\n");
        return 1;
    }

    const Summary floor = ExchangeRows(responder, exchanges);
    const Summary simExchange = SimExchangeRow(3, exchanges / 4);
    {
        TMERO_App window;
        ReadBackRow(window, basic, 3, 17, readBacks, floor, simExchange);
        ReadBackRow(window, vrx, 4, 22, readBacks, floor, simExchange);
        ChangeToWireRow(window, responder, changes);
        ScanRow(scans);
        SilentWaitRows(responder, silentMs);
        window.ComPort->Close();
    }
    basic.child.Stop();
    vrx.child.Stop();
    MemoryRow(o.minutes);
    InstallKeyState(nullptr);

    PrintTable(started, loadBefore, LoadAverage(), o);
    int failed = 0;
    for (const Row& r : rows)
        failed += r.verdict == QStringLiteral("FAIL");
    return failed ? 1 : 0;
}
