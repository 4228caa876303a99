// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <functional>
#include <stdexcept>

struct AppState;

// The communication log file. Lines are Latin-1 (a character above U+00FF
// becomes '?'), end in CR LF and reach the file with one write each, so a
// reader sees every line as soon as it is written and a crash loses none.
class CommLog
{
public:
    CommLog() = default;
    ~CommLog();
    CommLog(const CommLog&) = delete;
    CommLog& operator=(const CommLog&) = delete;

    // "MEROControllerLogFile_" + userName + "_" + logStamp + ".txt", relative
    // to the working directory. Bound once at start-up; nothing is created.
    // The name is kept as bytes, so a user name reaches the file system unchanged.
    static QByteArray FileName(const QByteArray& userName, const QByteArray& logStamp);
    void Bind(const QByteArray& fileName) { fName = fileName; }
    QByteArray BoundName() const { return fName; }

    // Creates the bound file anew (emptied if present, a symlink is not
    // followed) and writes the header line. False on any failure (the file is
    // then closed), also when the name would leave the working directory or
    // holds a control character.
    bool Rewrite(const QDateTime& now = QDateTime::currentDateTime());
    void Close();
    bool IsOpen() const { return fd >= 0; }

    // Writes one line (without line end) plus CR LF; false on a write failure.
    bool WriteLine(const QString& line);

    // Descriptor of the open file or -1; for fault tests only.
    int Handle() const { return fd; }

    // Called with the new state whenever logging is switched on or off (the
    // menu check mark follows it).
    std::function<void(bool on)> OnStateChanged;

private:
    QByteArray fName;
    int fd = -1;
};

// Line forms; ts is the "hh:nn:ss.zzz" time stamp of the line.
QString TimeStamp(const QTime& t = QTime::currentTime());
QString LogHeaderLine(const QDateTime& now);
QString LogSentLine(const QString& commandLine, const QTime& t = QTime::currentTime());
QString LogReceivedLine(const QString& reply, const QTime& t = QTime::currentTime());
QString LogExceptionLine(const QTime& t = QTime::currentTime());
QString LogCommandDisabledLine(const QString& command, const QTime& t = QTime::currentTime());
QString LogComportInUseLine(const QString& command, const QTime& t = QTime::currentTime());
// A line the port did not take (the device failed or vanished): never "Sent".
QString LogNotSentLine(const QString& commandLine, const QTime& t = QTime::currentTime());

// The message shown when the log cannot be created or written.
QString LogFailureMessage();

// Switches logging on (file created anew, header written, LoggingEnabled set,
// OnStateChanged(true)) or off (file closed, flag cleared, OnStateChanged(false)).
// A failed switch-on shows LogFailureMessage() through UserPrompts() and
// leaves logging off.
void ToggleLoggingState(AppState& state);

// Writes a line when LoggingEnabled. A failed write turns logging off (file
// closed, OnStateChanged(false)) and shows LogFailureMessage() once; the
// caller's exchange goes on.
void WriteLogLine(AppState& state, const QString& line);

// The failure box of a line that failed inside an exchange (ExchangeDepth > 0),
// once the outermost exchange has ended; nothing when none is owed.
void ShowOwedLogFailure(AppState& state);
