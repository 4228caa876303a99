// SPDX-License-Identifier: GPL-3.0-or-later
#include "simfixture.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

SimProcess::~SimProcess()
{
    if (m_proc.state() != QProcess::NotRunning)
        stop(SIGTERM);
}

bool SimProcess::start(const QStringList& args, int port)
{
    m_port = port;
    m_proc.setProgram(QStringLiteral(MERO_SIM_PATH));
    m_proc.setArguments(args);
    // stderr passes through, so a sanitizer report from the unit reaches the test's output.
    m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_proc.start();
    if (!m_proc.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(5000);
    while (!m_proc.canReadLine() && !deadline.hasExpired()) {
        if (!m_proc.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    const QByteArray line = m_proc.readLine().trimmed();
    if (!line.startsWith("MERO_COM_DIR="))
        return false;
    m_dir = QString::fromLocal8Bit(line.mid(13));
    return true;
}

bool SimProcess::stop(int sig, int timeoutMs)
{
    if (m_proc.state() == QProcess::NotRunning)
        return true;
    ::kill(pid_t(m_proc.processId()), sig);
    return m_proc.waitForFinished(timeoutMs);
}

bool UnitClient::open(const QString& path)
{
    close();
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    ioctl(fd, TIOCEXCL);
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, B115200);
        cfsetospeed(&tio, B115200);
        tcsetattr(fd, TCSANOW, &tio);
    }
    m_fd = fd;
    m_buf.clear();
    return true;
}

void UnitClient::close()
{
    if (m_fd < 0)
        return;
    ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

bool UnitClient::write(const QByteArray& bytes)
{
    QDeadlineTimer deadline(5000);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (deadline.hasExpired())
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, 50);
    }
    return true;
}

// Waits up to `timeoutMs` for bytes and appends them; false when none came.
bool UnitClient::fill(int timeoutMs)
{
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
        return false;
    char tmp[4096];
    const ssize_t n = ::read(m_fd, tmp, sizeof tmp);
    if (n <= 0)
        return false;
    m_buf.append(tmp, n);
    return true;
}

QByteArray UnitClient::readUntil(char end, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qsizetype at = m_buf.indexOf(end);
        if (at >= 0) {
            const QByteArray out = m_buf.left(at + 1);
            m_buf.remove(0, at + 1);
            return out;
        }
        if (deadline.hasExpired()) {
            const QByteArray out = m_buf;
            m_buf.clear();
            return out;
        }
        fill(int(deadline.remainingTime()));
    }
}

QByteArray UnitClient::readBytes(int n, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_buf.size() < n && !deadline.hasExpired())
        fill(int(deadline.remainingTime()));
    const QByteArray out = m_buf.left(n);
    m_buf.remove(0, out.size());
    return out;
}

bool UnitClient::nothingWaiting()
{
    fill(0);
    return m_buf.isEmpty();
}

QByteArray UnitClient::exchange(const QByteArray& line, int timeoutMs)
{
    tcflush(m_fd, TCIOFLUSH);
    m_buf.clear();
    if (!write(line + "\r\n"))
        return {};
    QByteArray reply = readUntil('\r', timeoutMs);
    // The LF of a CR LF reply comes in the same write; it belongs to this reply.
    fill(0);
    if (m_buf.startsWith('\n'))
        m_buf.remove(0, 1);
    while (!reply.isEmpty() && uchar(reply.back()) <= 32)
        reply.chop(1);
    return reply;
}

bool readsAsInteger(const QByteArray& reply, qint32* value)
{
    qsizetype i = 0;
    while (i < reply.size() && reply[i] == ' ')
        ++i;
    const qsizetype start = i;
    if (i < reply.size() && (reply[i] == '+' || reply[i] == '-'))
        ++i;
    const qsizetype digits = i;
    while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9')
        ++i;
    if (i == digits || i != reply.size())
        return false;
    bool ok = false;
    const qint32 v = reply.mid(start).toInt(&ok);
    if (ok && value)
        *value = v;
    return ok;
}

bool readsAsNumber(const QByteArray& reply, double* value)
{
    qsizetype i = 0;
    while (i < reply.size() && reply[i] == ' ')
        ++i;
    const qsizetype start = i;
    if (i < reply.size() && (reply[i] == '+' || reply[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9')
        ++i, ++digits;
    if (i < reply.size() && reply[i] == '.') {
        ++i;
        while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < reply.size() && (reply[i] == 'e' || reply[i] == 'E')) {
        ++i;
        if (i < reply.size() && (reply[i] == '+' || reply[i] == '-'))
            ++i;
        const qsizetype e = i;
        while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9')
            ++i;
        if (i == e)
            return false;
    }
    if (i != reply.size())
        return false;
    bool ok = false;
    const double v = reply.mid(start).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

QList<TraceLine> readTrace(const QString& path)
{
    QList<TraceLine> lines;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const qsizetype a = raw.indexOf(' ');
        const qsizetype b = a < 0 ? -1 : raw.indexOf(' ', a + 1);
        if (b < 0)
            continue;
        lines.append({raw.left(a).toLongLong(), raw.mid(a + 1, b - a - 1), raw.mid(b + 1)});
    }
    return lines;
}

int countTrace(const QString& path, const QByteArray& kind)
{
    int n = 0;
    for (const TraceLine& l : readTrace(path))
        n += l.kind == kind;
    return n;
}

qint64 monotonicMicrosNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}
