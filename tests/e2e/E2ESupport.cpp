// SPDX-License-Identifier: GPL-3.0-or-later
#include "E2ESupport.h"

#include <QHash>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e
{

QString Bin(const QString& name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

QString MissingTool()
{
    for (const char* tool : {"Xvfb", "xdotool", "import", "xprop"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QString::fromLatin1(tool);
    return {};
}

QString NotReady()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return {};
    return QStringLiteral("no private X server (%1 missing?)").arg(MissingTool());
}

bool XServer::Start()
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-noreset",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts clients.
    char buf[32] = {};
    ssize_t n = 0;
    while (n < ssize_t(sizeof buf) - 1) {
        const ssize_t r = read(fds[0], buf + n, 1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || buf[n] == '\n')
            break;
        ++n;
    }
    close(fds[0]);
    if (n <= 0) {
        Stop();
        return false;
    }
    display = QStringLiteral(":") + QString::fromLatin1(buf, int(n)).trimmed();
    return true;
}

void XServer::Stop()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

bool StartPrivateX(XServer& server)
{
    if (!MissingTool().isEmpty() || !server.Start())
        return false;
    qputenv("DISPLAY", server.Display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

void Stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

bool SimUnit::Start(const QString& comDir, int port, const QStringList& extra)
{
    trace = QDir(comDir).filePath(QStringLiteral("trace-COM%1.txt").arg(port));
    QFile::remove(trace);
    kept = false;
    // A sanitizer report from a child must reach the test's output.
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(Bin("mero-sim"), QStringList{"--com-dir", comDir, "--port", QString::number(port),
                                               "--trace", trace, "--no-noise"} +
                                       extra);
    if (!process.waitForStarted())
        return false;
    const QString link = QDir(comDir).filePath(QStringLiteral("COM%1").arg(port));
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(link)) {
        if (t.elapsed() > 5000 || process.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(20);
    }
    return true;
}

void SimUnit::Stop()
{
    e2e::Stop(process);
    KeepTrace();
}

void SimUnit::KeepTrace()
{
    // MERO_E2E_KEEP_TRACES=<dir> keeps every unit's trace, named after the
    // test, so the wire of two builds can be compared run by run.
    const QString keep = qEnvironmentVariable("MERO_E2E_KEEP_TRACES");
    if (kept || keep.isEmpty() || trace.isEmpty() || !QFile::exists(trace))
        return;
    kept = true;
    QString name = QCoreApplication::applicationName() + QLatin1Char('-') +
                   QString::fromLatin1(QTest::currentTestFunction());
    if (const char* tag = QTest::currentDataTag())
        name += QLatin1Char('-') + QString::fromLatin1(tag);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    QDir().mkpath(keep);
    QString target = QDir(keep).filePath(name + QStringLiteral("-") + QFileInfo(trace).fileName());
    for (int n = 2; QFile::exists(target); ++n)
        target =
            QDir(keep).filePath(name + QStringLiteral("-%1-").arg(n) + QFileInfo(trace).fileName());
    QFile::copy(trace, target);
}

QList<TraceLine> SimUnit::Trace() const
{
    QFile f(trace);
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

QList<QByteArray> SimUnit::Received() const
{
    QList<QByteArray> rx;
    for (const TraceLine& t : Trace())
        if (t.kind == "RX")
            rx << t.text;
    return rx;
}

QList<QByteArray> SimUnit::Replies() const
{
    QList<QByteArray> tx;
    for (const TraceLine& t : Trace())
        if (t.kind == "TX")
            tx << QByteArray(t.text).replace("\\x0D", "").replace("\\x0A", "");
    return tx;
}

bool MeroRun::Start(const QString& display, const QString& comDir, const QStringList& args,
                    const QStringList& extraEnv)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("MERO_COM_DIR", comDir);
    env.insert("QT_QPA_PLATFORM", "xcb");
    for (const QString& pair : extraEnv)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(comDir);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(Bin("mero"), args);
    return process.waitForStarted();
}

void MeroRun::Stop()
{
    e2e::Stop(process);
}

QByteArray Screen::Run(const QString& program, const QStringList& args, int* exitCode) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start(program, args);
    const bool done = p.waitForFinished(10000);
    if (!done) {
        p.kill();
        p.waitForFinished(2000);
    }
    if (exitCode)
        *exitCode = done ? p.exitCode() : -1;
    return p.readAllStandardOutput().trimmed();
}

QStringList Screen::Windows(const QString& title) const
{
    return WindowsMatching(QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$'));
}

QStringList Screen::WindowsMatching(const QString& pattern) const
{
    const QByteArray ids = Run("xdotool", {"search", "--onlyvisible", "--name", pattern});
    QStringList out;
    for (const QByteArray& id : ids.split('\n'))
        if (!id.trimmed().isEmpty())
            out << QString::fromLatin1(id.trimmed());
    return out;
}

QString Screen::WaitForWindow(const QString& title, int ms,
                              const std::function<void()>& check) const
{
    QElapsedTimer t;
    t.start();
    do {
        if (check)
            check();
        const QStringList ids = Windows(title);
        if (!ids.isEmpty())
            return ids.first();
        QTest::qWait(100);
    } while (t.elapsed() < ms);
    return {};
}

void Screen::Key(const QString& window, const QString& keys) const
{
    Run("xdotool", {"windowfocus", "--sync", window});
    Run("xdotool", {"key", keys});
}

void Screen::KeyDown(const QString& key) const
{
    Run("xdotool", {"keydown", key});
}

void Screen::KeyUp(const QString& key) const
{
    Run("xdotool", {"keyup", key});
}

bool Screen::ShowsBox(const QString& window, QMessageBox::Icon icon, const QString& text,
                      QMessageBox::StandardButtons buttons, const QString& details) const
{
    QTemporaryDir shots;
    // The pointer starts in the middle of the screen, over a centred box's
    // buttons; a button under it is drawn lighter, and once the pointer has
    // left it, a little differently from one never touched. The reference
    // goes through the same: the pointer visits the same spot on it, then
    // both are left alone.
    const auto shellValues = [this](const QStringList& args) {
        QHash<QString, int> values;
        for (const QString& line : QString::fromLatin1(Run("xdotool", args)).split('\n'))
            values.insert(line.section('=', 0, 0), line.section('=', 1).toInt());
        return values;
    };
    const auto pointer = shellValues({"getmouselocation", "--shell"});
    const auto shown = shellValues({"getwindowgeometry", "--shell", window});
    const QPoint spot(pointer.value("X") - shown.value("X"), pointer.value("Y") - shown.value("Y"));
    QMessageBox reference(icon, QStringLiteral("reference box"), text, buttons);
    if (!details.isEmpty())
        reference.setDetailedText(details);
    // In the top left corner, clear of the program's box in the middle: an
    // X server keeps no pixels of a covered window.
    reference.move(0, 0);
    reference.show();
    if (!shots.isValid() || !QTest::qWaitForWindowExposed(&reference))
        return false;
    if (reference.rect().contains(spot)) {
        const QPoint at = reference.mapToGlobal(spot);
        Run("xdotool", {"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
        QTest::qWait(100);
    }
    Run("xdotool", {"mousemove", "--sync", "0", "767"});
    QTest::qWait(100);
    const QString id = QString::number(reference.winId());
    // Each is shot while it has the focus (an active window draws its
    // default button differently), again until they agree or the deadline
    // passes: either may not have finished painting yet.
    QElapsedTimer t;
    t.start();
    bool same = false;
    while (!same && t.elapsed() < 10000) {
        Run("xdotool", {"windowfocus", "--sync", window});
        QTest::qWait(50);
        const QImage shown = Shot(window, shots.filePath("shown.png"));
        Run("xdotool", {"windowfocus", "--sync", id});
        QTest::qWait(50);
        same = !shown.isNull() && shown == Shot(id, shots.filePath("reference.png"));
    }
    if (!same)
        qWarning("box %s differs from the reference, see %s", qPrintable(window),
                 qPrintable(shots.filePath("*.png")));
    shots.setAutoRemove(same);
    return same;
}

QImage Screen::Shot(const QString& window, const QString& file) const
{
    Run("import", {"-window", window, file});
    return QImage(file);
}

bool Xdo(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForStarted())
        return false;
    QElapsedTimer t;
    t.start();
    while (p.state() != QProcess::NotRunning && t.elapsed() < 10000)
        QTest::qWait(5);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    QTest::qWait(50); // the X events reach the window
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace e2e
