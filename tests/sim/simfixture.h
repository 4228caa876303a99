// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test fixtures for the virtual unit: SimProcess starts build/bin/mero-sim and learns its
// link directory from the first output line; UnitClient opens a COM link the way MERO does
// (O_NONBLOCK, flock, TIOCEXCL, raw mode; TIOCNXCL on close) and exchanges lines with
// deadlines, never with fixed sleeps.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess
{
public:
    SimProcess() = default;
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess();

    // Starts the unit and waits for its MERO_COM_DIR line; false when none came.
    bool start(const QStringList& args, int port = 3);
    QString dir() const { return m_dir; }
    QString link() const { return m_dir + QStringLiteral("/COM") + QString::number(m_port); }
    qint64 pid() const { return m_proc.processId(); }
    QProcess& process() { return m_proc; }
    // Sends `sig` and waits for the exit; false when it did not end within the deadline.
    bool stop(int sig, int timeoutMs = 5000);

private:
    QProcess m_proc;
    QString m_dir;
    int m_port = 3;
};

class UnitClient
{
public:
    UnitClient() = default;
    UnitClient(const UnitClient&) = delete;
    UnitClient& operator=(const UnitClient&) = delete;
    ~UnitClient() { close(); }

    bool open(const QString& path);
    void close();
    int fd() const { return m_fd; }

    bool write(const QByteArray& bytes);
    // Bytes through the first `end` byte, or whatever arrived when the deadline passed.
    QByteArray readUntil(char end, int timeoutMs = 2000);
    // Exactly `n` bytes, or fewer when the deadline passed.
    QByteArray readBytes(int n, int timeoutMs = 2000);
    // True when no byte is waiting right now.
    bool nothingWaiting();

    // One exchange as MERO makes it: purge, write line + CR LF, read through CR, trim the
    // trailing run of blanks and control characters.
    QByteArray exchange(const QByteArray& line, int timeoutMs = 2000);
    QByteArray query(const QByteArray& mnemonic) { return exchange(";DC:" + mnemonic + "?"); }
    QByteArray command(const QByteArray& text) { return exchange(";DC:" + text); }

private:
    bool fill(int timeoutMs);
    int m_fd = -1;
    QByteArray m_buf;
};

// The conversions MERO applies to replies: optional leading blanks, optional sign, digits
// (within 32 bits) for integers; digits with optional fraction and exponent for numbers.
bool readsAsInteger(const QByteArray& reply, qint32* value = nullptr);
bool readsAsNumber(const QByteArray& reply, double* value = nullptr);

struct TraceLine {
    qint64 micros = 0;
    QByteArray kind;
    QByteArray text;
};
QList<TraceLine> readTrace(const QString& path);
int countTrace(const QString& path, const QByteArray& kind);
qint64 monotonicMicrosNow();
