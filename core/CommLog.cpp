// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommLog.h"
#include "AppState.h"
#include "Latin1.h"
#include "UserPrompts.h"

#include <QLocale>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool WriteAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t r = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (r > 0)
            done += r;
        else if (!(r < 0 && errno == EINTR))
            return false;
    }
    return true;
}

// A name that could leave the working directory, or that holds a control
// character, is not a valid log file name.
bool ValidLocalName(const QByteArray& name)
{
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

void Notify(AppState& state)
{
    if (state.LogFile.OnStateChanged)
        state.LogFile.OnStateChanged(state.LoggingEnabled);
}

} // namespace

CommLog::~CommLog()
{
    Close();
}

QByteArray CommLog::FileName(const QByteArray& userName, const QByteArray& logStamp)
{
    return "MEROControllerLogFile_" + userName + "_" + logStamp + ".txt";
}

bool CommLog::Rewrite(const QDateTime& now)
{
    Close();
    if (!ValidLocalName(fName))
        return false;
    // Without O_NONBLOCK a FIFO under the log's name would block the open forever. Only a
    // regular file is a log; it is emptied once known to be one, then written blocking.
    fd = ::open(fName.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return false;
    struct stat st {
    };
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0 || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Close();
        return false;
    }
    if (!WriteLine(LogHeaderLine(now))) {
        Close();
        return false;
    }
    return true;
}

void CommLog::Close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool CommLog::WriteLine(const QString& line)
{
    if (fd < 0)
        return false;
    // One write per line: a reader sees whole lines, and nothing waits in a buffer.
    return WriteAll(fd, ToLatin1Text(line) + "\r\n");
}

QString TimeStamp(const QTime& t)
{
    return QLocale::c().toString(t, QStringLiteral("HH:mm:ss.zzz"));
}

QString LogHeaderLine(const QDateTime& now)
{
    const QLocale locale = QLocale::system();
    return QStringLiteral("Communication Log File ") +
           locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(',') +
           locale.toString(now.time(), QLocale::LongFormat);
}

QString LogSentLine(const QString& commandLine, const QTime& t)
{
    return QStringLiteral("Sent    (") + TimeStamp(t) + QStringLiteral("): ") + commandLine;
}

QString LogReceivedLine(const QString& reply, const QTime& t)
{
    return QStringLiteral("Received(") + TimeStamp(t) + QStringLiteral("): ") + reply;
}

QString LogExceptionLine(const QTime& t)
{
    return QStringLiteral("Exception Error. (") + TimeStamp(t) + QLatin1Char(')');
}

QString LogCommandDisabledLine(const QString& command, const QTime& t)
{
    return QStringLiteral("Command Disabled:    (") + TimeStamp(t) + QStringLiteral("): ") +
           command;
}

QString LogComportInUseLine(const QString& command, const QTime& t)
{
    return QStringLiteral("Comport in use: (") + TimeStamp(t) + QStringLiteral("): ") + command;
}

QString LogNotSentLine(const QString& commandLine, const QTime& t)
{
    // As wide as "Sent    (" and "Received(", so the columns stay aligned.
    return QStringLiteral("Not sent(") + TimeStamp(t) + QStringLiteral("): ") + commandLine;
}

QString LogFailureMessage()
{
    return QStringLiteral("Log file cannot be written to. Please run program from writable "
                          "location. Logging will be disabled.");
}

void ToggleLoggingState(AppState& state)
{
    if (state.LoggingEnabled) {
        state.LoggingEnabled = false;
        Notify(state);
        state.LogFile.Close();
        return;
    }
    state.LoggingEnabled = true;
    Notify(state);
    if (!state.LogFile.Rewrite()) {
        UserPrompts().Warning(LogFailureMessage());
        state.LoggingEnabled = false;
        Notify(state);
    }
}

void WriteLogLine(AppState& state, const QString& line)
{
    if (!state.LoggingEnabled)
        return;
    if (state.LogFile.WriteLine(line))
        return;
    state.LogFile.Close();
    state.LoggingEnabled = false;
    Notify(state);
    // A box inside an exchange would let the poll or the pump run an exchange of
    // their own while this one still waits for its reply.
    if (state.ExchangeDepth > 0)
        state.LogFailureOwed = true;
    else
        UserPrompts().Warning(LogFailureMessage());
}

void ShowOwedLogFailure(AppState& state)
{
    if (!state.LogFailureOwed || state.ExchangeDepth > 0)
        return;
    state.LogFailureOwed = false;
    UserPrompts().Warning(LogFailureMessage());
}
