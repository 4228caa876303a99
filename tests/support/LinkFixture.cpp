// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkFixture.h"

#include "AppState.h"
#include "CommLog.h"
#include "Communication.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace
{
// The working directory must change before the unit and the port exist, so
// the log of every exchange lands in the fixture's directory.
QString EnterDirectory(const QTemporaryDir& dir)
{
    const QString previous = QDir::currentPath();
    appState().Reset();
    QDir::setCurrent(dir.path());
    return previous;
}
} // namespace

TLinkFixture::TLinkFixture(int com, quint32 responseTimeMs) : oldCwd(EnterDirectory(dir)), unit(com)
{
    port.SetPort(com);
    port.SetBaud(115200);
    port.SetEndOfResponse("\r");
    port.SetResponseTime(responseTimeMs);
    port.SetShowErrors(false);
    BindCommunication({&port, &echo, nullptr});
}

TLinkFixture::~TLinkFixture()
{
    UnbindCommunication();
    appState().Reset();
    port.Close();
    QDir::setCurrent(oldCwd);
}

bool TLinkFixture::StartLog(const QByteArray& name)
{
    appState().LogFile.Bind(name);
    ToggleLoggingState(appState());
    return appState().LoggingEnabled;
}

bool TLinkFixture::BreakLog()
{
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (full < 0)
        return false;
    const bool ok =
        appState().LogFile.Handle() >= 0 && ::dup2(full, appState().LogFile.Handle()) >= 0;
    ::close(full);
    return ok;
}

QByteArray TLinkFixture::LogBytes(const QByteArray& name) const
{
    QFile f(dir.filePath(QString::fromLatin1(name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList TLinkFixture::LogLines(const QByteArray& name) const
{
    QStringList lines = QString::fromLatin1(LogBytes(name)).split(QStringLiteral("\r\n"));
    if (lines.size() < 2)
        return {};
    lines.removeLast();  // after the last CR LF
    lines.removeFirst(); // the header
    return lines;
}

TPumpRig::TPumpRig()
    : pump(TPumpState{appState().CommandQueue, appState().TaskBusy, appState().RecallPending,
                      readBackPending, appState().StatusBusy, appState().CommandsDisabled,
                      appState().SelectedBin, ending},
           host)
{
    taskTimer.setInterval(5);
    host.TaskTimer = [this](bool on) {
        if (on)
            taskTimer.start();
        else
            taskTimer.stop();
    };
    QObject::connect(&taskTimer, &QTimer::timeout, &taskTimer, [this] {
        if (!appState().TaskBusy)
            ++passes;
        pump.Tick();
    });
    taskTimer.start();
}

TPumpRig::~TPumpRig()
{
    taskTimer.stop();
}

bool TPumpRig::Idle() const
{
    return appState().CommandQueue.Count() == 0 && !appState().TaskBusy;
}
