// SPDX-License-Identifier: GPL-3.0-or-later
#include "KxComPort.h"
#include "LineSettings.h"
#include "UserPrompts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{

using Clock = std::chrono::steady_clock;

// Longest sleep of one wait pass; keeps the window responsive with AllowEvents.
constexpr int PassSleepMs = 5;

int MsUntil(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    return int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Sleeps until the descriptor has news or until `until`, to the nanosecond:
// a wait rounded up to whole milliseconds would overrun a deadline and take a
// reply that came after it.
int PollUntil(pollfd& p, Clock::time_point until)
{
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now());
    if (left < std::chrono::nanoseconds::zero())
        left = std::chrono::nanoseconds::zero();
    const timespec ts{time_t(left.count() / 1000000000), long(left.count() % 1000000000)};
    return ::ppoll(&p, 1, &ts, nullptr);
}

bool BaudToSpeed(int baud, speed_t& speed)
{
    static const struct {
        int baud;
        speed_t speed;
    } table[] = {{50, B50},         {75, B75},         {110, B110},        {134, B134},
                 {150, B150},       {200, B200},       {300, B300},        {600, B600},
                 {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
                 {9600, B9600},     {19200, B19200},   {38400, B38400},    {57600, B57600},
                 {115200, B115200}, {230400, B230400}, {460800, B460800},  {500000, B500000},
                 {576000, B576000}, {921600, B921600}, {1000000, B1000000}};
    for (const auto& e : table) {
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

// Reads up to max waiting bytes; returns the count (0 on error or nothing).
qsizetype ReadSome(int fd, char* buffer, qsizetype max)
{
    for (;;) {
        const ssize_t r = ::read(fd, buffer, size_t(max));
        if (r >= 0)
            return r;
        if (errno != EINTR)
            return 0;
    }
}

} // namespace

QByteArray DecodeEndOfResponse(const QByteArray& text)
{
    QByteArray raw;
    QByteArray digits;
    bool escape = false;
    bool ok = true;
    const auto convert = [&] {
        if (digits.isEmpty() || digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
            ok = false;
            return;
        }
        const int code = digits.toInt();
        // Codes map through Latin-1; anything beyond it has no byte.
        raw.append(code <= 0xFF ? char(code) : '?');
        digits.clear();
    };
    for (const char c : text) {
        if (c == '#') {
            if (escape)
                convert();
            escape = true;
        } else if (escape) {
            digits.append(c);
        } else {
            raw.append(c);
        }
        if (!ok)
            return text;
    }
    // A "#" at the end with no code is a bad escape too, not an empty one: it
    // would leave no end-of-response at all, so Read would stop waiting.
    if (escape)
        convert();
    return ok ? raw : text;
}

TKxComPort::TKxComPort(QObject* AOwner) : QObject(AOwner) {}

TKxComPort::~TKxComPort()
{
    Close();
}

QString TKxComPort::DevicePath(int port)
{
    if (qEnvironmentVariableIsSet("MERO_COM_DIR"))
        return qEnvironmentVariable("MERO_COM_DIR") + QStringLiteral("/COM") +
               QString::number(port);
    if (port >= 1 && port <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(port - 1);
    if (port >= 33 && port <= 64)
        return QStringLiteral("/dev/ttyUSB%1").arg(port - 33);
    if (port >= 65 && port <= 96)
        return QStringLiteral("/dev/ttyACM%1").arg(port - 65);
    if (port >= 97 && port <= 100)
        return QStringLiteral("/dev/ttyAMA%1").arg(port - 97);
    return QString();
}

void TKxComPort::SetBaud(int value)
{
    if (value == FBaudRate)
        return;
    FBaudRate = value;
    ReopenIfOpen();
}

void TKxComPort::SetEndOfResponse(const QByteArray& value)
{
    FEndOfResponse = value;
    FEndOfResponseRaw = DecodeEndOfResponse(value);
}

void TKxComPort::SetHandshaking(THandshake value)
{
    if (value == FHandshake)
        return;
    FHandshake = value;
    ReopenIfOpen();
}

void TKxComPort::SetParity(TParity value)
{
    if (value == FParity)
        return;
    FParity = value;
    ReopenIfOpen();
}

void TKxComPort::SetPort(int value)
{
    if (value == FPortNumber)
        return;
    // Another device: nothing late can come from there. A re-open of the
    // same port (the status poll's test) keeps the mark.
    FLateReplyPossible = false;
    FPortNumber = value;
    ReopenIfOpen();
}

void TKxComPort::ReopenIfOpen()
{
    if (Opened()) {
        Close();
        Open();
    }
}

int TKxComPort::InCount() const
{
    if (!Opened())
        return 0;
    int n = 0;
    if (::ioctl(FPortHandle, FIONREAD, &n) != 0)
        return 0;
    return n;
}

bool TKxComPort::State() const
{
    termios t{};
    return Opened() && ::tcgetattr(FPortHandle, &t) == 0;
}

bool TKxComPort::OpenOnce()
{
    const QString path = DevicePath(FPortNumber);
    FLastOpenError = ENOENT;
    if (path.isEmpty())
        return false;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        FLastOpenError = errno;
        return false;
    }
    // flock keeps out other instances even where TIOCEXCL does not (root).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        FLastOpenError = errno;
        ::close(fd);
        return false;
    }
    FLastOpenError = 0;
    ::ioctl(fd, TIOCEXCL);
    FPortHandle = fd;
    return true;
}

void TKxComPort::MarkFailed()
{
    if (FFailed)
        return;
    FFailed = true;
    Q_EMIT LinkFailed();
}

bool TKxComPort::StillPresent()
{
    if (!Opened())
        return Open();
    if (FFailed)
        return false;
    pollfd p{FPortHandle, POLLIN, 0};
    const bool hungUp = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
    termios t{};
    struct stat held {
    }, named{};
    const QByteArray path = QFile::encodeName(DevicePath(FPortNumber));
    const bool same = ::fstat(FPortHandle, &held) == 0 && ::stat(path.constData(), &named) == 0 &&
                      held.st_rdev == named.st_rdev && held.st_ino == named.st_ino &&
                      held.st_dev == named.st_dev;
    if (hungUp || ::tcgetattr(FPortHandle, &t) != 0 || !same) {
        MarkFailed();
        return false;
    }
    return true;
}

bool TKxComPort::Open()
{
    if (Opened())
        Close();
    FFailed = false;
    while (!OpenOnce()) {
        if (!FShowErrors)
            break;
        const auto answer =
            UserPrompts().AskAbortRetry(QStringLiteral("Error opening COM%1: ").arg(FPortNumber));
        if (answer != IUserPrompts::Answer::Retry)
            break;
    }
    FLastSetupFailed = Opened() && !ApplySettings();
    return Opened();
}

bool BuildLineSettings(termios& t, int baud, TParity parity, THandshake handshake)
{
    speed_t speed;
    if (!BaudToSpeed(baud, speed))
        return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~tcflag_t(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    // Received parity is never checked; only the transmitted bit changes.
    t.c_iflag &= ~tcflag_t(INPCK | IXON | IXOFF | IXANY);
    if (parity == parEven)
        t.c_cflag |= PARENB;
    else if (parity == parOdd)
        t.c_cflag |= PARENB | PARODD;
    if (handshake == hsHardware)
        t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    return true;
}

bool TKxComPort::ApplySettings()
{
    termios t{};
    if (::tcgetattr(FPortHandle, &t) != 0)
        return false;
    if (!BuildLineSettings(t, FBaudRate, FParity, FHandshake))
        return false;
    if (::tcsetattr(FPortHandle, TCSANOW, &t) != 0)
        return false;
    // Pseudo-terminals have no modem lines; failures here are expected there.
    int dtr = TIOCM_DTR;
    int both = TIOCM_DTR | TIOCM_RTS;
    switch (FHandshake) {
    case hsNone:
        ::ioctl(FPortHandle, TIOCMBIC, &both);
        break;
    case hsHardware:
        ::ioctl(FPortHandle, TIOCMBIC, &dtr);
        break;
    case hsAssertAll:
        ::ioctl(FPortHandle, TIOCMBIS, &both);
        break;
    }
    return true;
}

void TKxComPort::Close()
{
    if (FPortHandle >= 0) {
        // On a pseudo-terminal the exclusive flag outlives the descriptor.
        ::ioctl(FPortHandle, TIOCNXCL);
        ::close(FPortHandle);
    }
    FPortHandle = -1;
    FFailed = false;
}

void TKxComPort::Flush()
{
    if (Opened())
        ::tcflush(FPortHandle, TCIOFLUSH);
}

qsizetype TKxComPort::ReadWaiting(QByteArray& result, bool& endOfResponseSeen, bool& deviceGone)
{
    qsizetype total = 0;
    char buffer[16384];
    for (;;) {
        if (!Opened()) {
            deviceGone = true;
            return total;
        }
        const int waiting = InCount();
        if (waiting <= 0)
            break;
        const qsizetype got =
            ReadSome(FPortHandle, buffer, std::min<qsizetype>(waiting, sizeof buffer));
        if (got <= 0)
            break;
        total += got;
        const QByteArrayView chunk(buffer, got);
        if (!endOfResponseSeen && !FEndOfResponseRaw.isEmpty()) {
            QByteArray window = tail;
            window.append(chunk);
            endOfResponseSeen = window.contains(FEndOfResponseRaw);
            const qsizetype keep = FEndOfResponseRaw.size() - 1;
            tail = window.right(keep);
        }
        const qsizetype room = MaxReplyBytes - result.size();
        if (room > 0)
            result.append(chunk.first(std::min(room, got)));
        // One pass reads at most a reply's worth, so a device that never
        // pauses cannot keep the caller from its deadline.
        if (endOfResponseSeen || total >= MaxReplyBytes)
            break;
    }
    return total;
}

QByteArray TKxComPort::Read()
{
    QByteArray result;
    if (FPortInUse) {
        if (FShowErrors)
            UserPrompts().Message(QStringLiteral("Port is in use -- operation aborted"));
        return result;
    }
    if (!Opened() && !Open())
        return result;

    FPortInUse = true;
    const auto endUse = qScopeGuard([this] { FPortInUse = false; });
    tail.clear();
    FLateReplyPossible = false;

    bool found = false;
    bool gone = false;
    if (FEndOfResponseRaw.isEmpty()) {
        ReadWaiting(result, found, gone);
        return result;
    }

    for (;;) {
        auto deadline = Clock::now() + std::chrono::milliseconds(FResponseTime);
        FTimedOut = false;
        while (!FTimedOut && !found) {
            ReadWaiting(result, found, gone);
            if (found)
                break;
            if (gone || Clock::now() > deadline) {
                FTimedOut = true;
                break;
            }
            if (FAllowEvents)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (!Opened()) {
                gone = true;
                continue;
            }
            pollfd p{FPortHandle, POLLIN, 0};
            const int slept = PollUntil(
                p, std::min(deadline, Clock::now() + std::chrono::milliseconds(PassSleepMs)));
            // A hang-up with nothing left to read means the device is gone.
            if (slept > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && InCount() == 0) {
                gone = true;
                MarkFailed();
            }
        }
        if (FTimedOut) {
            if (FAllowEvents && FOnTimeout)
                FOnTimeout(this);
            if (FShowErrors &&
                UserPrompts().AskAbortRetry(QStringLiteral("Timeout waiting for response.")) ==
                    IUserPrompts::Answer::Retry) {
                FTimedOut = false;
                gone = false;
                continue;
            }
        }
        if (found || FTimedOut)
            break;
    }
    // The reply waited for may still come; a device that is gone sends none.
    FLateReplyPossible = FTimedOut && !gone;
    return result;
}

QByteArray TKxComPort::DiscardLateReply(bool* quiet)
{
    if (quiet)
        *quiet = false;
    const bool possible = FLateReplyPossible && Opened() && !FPortInUse;
    FLateReplyPossible = false;
    if (!possible)
        return QByteArray();
    return WaitQuiet(LateReplyQuietMs, LateReplyMaxMs, quiet);
}

QByteArray TKxComPort::WaitQuiet(int quietMs, int maxMs, bool* quiet)
{
    QByteArray dropped;
    bool unused = false;
    bool& isQuiet = quiet ? *quiet : unused;
    isQuiet = false;
    if (!Opened() || FPortInUse)
        return dropped;
    // Like a reply wait: the port is in use, so nothing nested purges or writes, and with
    // AllowEvents the window goes on between passes instead of freezing meanwhile.
    FPortInUse = true;
    const auto endUse = qScopeGuard([this] { FPortInUse = false; });
    const auto limit = Clock::now() + std::chrono::milliseconds(maxMs);
    auto quietUntil = Clock::now() + std::chrono::milliseconds(quietMs);
    char buffer[4096];
    for (;;) {
        // Quiet long enough, or out of time.
        const auto now = Clock::now();
        if (now >= std::min(quietUntil, limit)) {
            isQuiet = now >= quietUntil;
            return dropped;
        }
        if (FAllowEvents) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (!Opened())
                return dropped;
        }
        pollfd p{FPortHandle, POLLIN, 0};
        const int r = PollUntil(
            p,
            std::min({quietUntil, limit, Clock::now() + std::chrono::milliseconds(PassSleepMs)}));
        if (r < 0 && errno == EINTR)
            continue;
        // The device is gone.
        if (r < 0 || (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && InCount() == 0)) {
            MarkFailed();
            return dropped;
        }
        if (r == 0)
            continue;
        qsizetype got;
        while ((got = ReadSome(FPortHandle, buffer, sizeof buffer)) > 0) {
            const qsizetype room = MaxReplyBytes - dropped.size();
            if (room > 0)
                dropped.append(buffer, std::min(room, got));
            if (Clock::now() >= limit)
                break;
        }
        quietUntil = Clock::now() + std::chrono::milliseconds(quietMs);
    }
}

QByteArray TKxComPort::TakeWaiting()
{
    QByteArray waiting;
    if (!Opened())
        return waiting;
    char buffer[4096];
    int n;
    while ((n = InCount()) > 0 && waiting.size() < MaxReplyBytes) {
        const qsizetype got =
            ReadSome(FPortHandle, buffer, std::min<qsizetype>(n, qsizetype(sizeof buffer)));
        if (got <= 0)
            break;
        waiting.append(buffer, std::min(got, MaxReplyBytes - waiting.size()));
    }
    Flush();
    return waiting;
}

qsizetype TKxComPort::ReadRaw(char* buffer, qsizetype capacity)
{
    if (FPortInUse) {
        if (FShowErrors)
            UserPrompts().Message(QStringLiteral("Port is in use -- operation aborted"));
        return 0;
    }
    if (!Opened() && !Open())
        return 0;
    FPortInUse = true;
    qsizetype got = 0;
    const qsizetype want = std::min<qsizetype>(InCount(), capacity);
    if (want > 0 && buffer) {
        ssize_t r;
        do {
            r = ::read(FPortHandle, buffer, size_t(want));
        } while (r < 0 && errno == EINTR);
        if (r < 0) {
            FPortInUse = false;
            UserPrompts().Information(QStringLiteral("Raw read error."));
            return 0;
        }
        got = r;
    }
    FPortInUse = false;
    return got;
}

bool TKxComPort::Write(const QByteArray& sData)
{
    return WriteRaw(sData.constData(), quint32(sData.size()));
}

bool TKxComPort::WriteRaw(const char* bData, quint32 bSize)
{
    if (!Opened() && !Open())
        return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(FResponseTime);
    quint32 done = 0;
    while (done < bSize) {
        const ssize_t r = ::write(FPortHandle, bData + done, bSize - done);
        if (r > 0) {
            done += quint32(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN) {
            MarkFailed();
            break;
        }
        if (Clock::now() > deadline)
            break;
        pollfd p{FPortHandle, POLLOUT, 0};
        if (::poll(&p, 1, std::min(MsUntil(deadline), 50)) > 0 &&
            (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            MarkFailed();
            break;
        }
    }
    return done == bSize;
}
