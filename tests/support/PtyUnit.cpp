// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyUnit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace
{

// Microseconds, so a reply scheduled "1 ms after" never goes out early.
qint64 NowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

struct PtyUnit::Rule {
    QByteArray line;
    PtyReply reply;
    std::function<std::optional<PtyReply>(const QByteArray&)> compute;
};

PtyReply PtyReply::InPieces(const QList<QByteArray>& parts, int gapMs)
{
    PtyReply r;
    for (const QByteArray& p : parts)
        r.pieces.append({r.pieces.isEmpty() ? 0 : gapMs, p});
    return r;
}

QString PtyUnit::comDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/mero-com-XXXXXX"));
    static const bool exported = [] {
        if (!dir.isValid())
            qFatal("PtyUnit: cannot create a temporary directory");
        qputenv("MERO_COM_DIR", QFile::encodeName(dir.path()));
        return true;
    }();
    Q_UNUSED(exported);
    return dir.path();
}

void PtyUnit::openPty()
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        qFatal("PtyUnit: no pseudo-terminal: %s", strerror(errno));
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0)
        qFatal("PtyUnit: ptsname failed");
    slaveName = QString::fromLocal8Bit(name);
    // Our own slave descriptor keeps the master from reading EIO while the
    // port is closed; it is never locked, so the port can take its lock.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        qFatal("PtyUnit: cannot open %s", name);
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const QByteArray link = QFile::encodeName(linkPath());
    ::unlink(link.constData());
    if (::symlink(name, link.constData()) != 0)
        qFatal("PtyUnit: cannot link %s", link.constData());
}

PtyUnit::PtyUnit(int comNumber) : com(comNumber)
{
    openPty();

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("PtyUnit: pipe failed");
    wakeRead = wake[0];
    wakeWrite = wake[1];

    worker = std::thread([this] { run(); });
}

PtyUnit::~PtyUnit()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    (void)!::write(wakeWrite, "x", 1);
    worker.join();
    removeLink();
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
    ::close(wakeRead);
    ::close(wakeWrite);
}

QString PtyUnit::linkPath() const
{
    return comDir() + QStringLiteral("/COM") + QString::number(com);
}

QString PtyUnit::slavePath() const
{
    return slaveName;
}

PtyUnit& PtyUnit::onLine(const QByteArray& line, const QByteArray& reply)
{
    return onLine(line, PtyReply::Now(reply));
}

PtyUnit& PtyUnit::onLine(const QByteArray& line, const PtyReply& reply)
{
    auto rule = std::make_shared<Rule>();
    rule->line = line;
    rule->reply = reply;
    std::lock_guard lock(mutex);
    rules.append(rule);
    return *this;
}

PtyUnit& PtyUnit::onAnyLine(std::function<std::optional<PtyReply>(const QByteArray&)> compute)
{
    auto rule = std::make_shared<Rule>();
    rule->compute = std::move(compute);
    std::lock_guard lock(mutex);
    rules.append(rule);
    return *this;
}

void PtyUnit::clearRules()
{
    std::lock_guard lock(mutex);
    rules.clear();
}

void PtyUnit::send(const QByteArray& bytes)
{
    sendAfter(0, bytes);
}

void PtyUnit::sendAfter(int ms, const QByteArray& bytes)
{
    schedule(PtyReply::After(ms, bytes));
}

void PtyUnit::schedule(const PtyReply& reply)
{
    {
        std::lock_guard lock(mutex);
        qint64 due = NowUs();
        for (const auto& piece : reply.pieces) {
            due += qint64(piece.delayMs) * 1000;
            const auto at =
                std::upper_bound(pending.begin(), pending.end(), due,
                                 [](qint64 d, const Pending& p) { return d < p.dueUs; });
            pending.insert(at, Pending{due, piece.bytes});
        }
    }
    (void)!::write(wakeWrite, "x", 1);
}

QByteArray PtyUnit::received() const
{
    std::lock_guard lock(mutex);
    return rx;
}

QList<QByteArray> PtyUnit::lines() const
{
    std::lock_guard lock(mutex);
    return rxLines;
}

void PtyUnit::clearReceived()
{
    std::lock_guard lock(mutex);
    rx.clear();
    rxLines.clear();
    partialLine.clear();
}

bool PtyUnit::waitForLines(int n, int timeoutMs) const
{
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return rxLines.size() >= n; });
}

void PtyUnit::unplug()
{
    removeLink();
    std::unique_lock lock(mutex);
    unplugged = true;
    (void)!::write(wakeWrite, "x", 1);
    changed.wait(lock, [&] { return master < 0; });
}

void PtyUnit::flicker(int afterMs, int goneMs)
{
    {
        std::lock_guard lock(mutex);
        goneAtUs = NowUs() + qint64(afterMs) * 1000;
        backAtUs = goneAtUs + qint64(goneMs) * 1000;
    }
    (void)!::write(wakeWrite, "x", 1);
}

void PtyUnit::removeLink()
{
    ::unlink(QFile::encodeName(linkPath()).constData());
}

void PtyUnit::handleLine(const QByteArray& line)
{
    QList<std::shared_ptr<Rule>> current;
    {
        std::lock_guard lock(mutex);
        current = rules;
    }
    for (const auto& rule : current) {
        if (rule->compute) {
            if (const auto reply = rule->compute(line)) {
                schedule(*reply);
                return;
            }
        } else if (rule->line == line) {
            schedule(rule->reply);
            return;
        }
    }
}

void PtyUnit::run()
{
    char buffer[4096];
    for (;;) {
        int timeout = 100;
        bool wantOut;
        {
            std::lock_guard lock(mutex);
            if (stopping)
                return;
            if (unplugged && master >= 0) {
                ::close(master);
                master = -1;
                pending.clear();
                outBuffer.clear();
                changed.notify_all();
            }
            const qint64 now = NowUs();
            if (goneAtUs >= 0 && now >= goneAtUs) {
                removeLink();
                ::close(master);
                ::close(slave);
                master = slave = -1;
                pending.clear();
                outBuffer.clear();
                partialLine.clear();
                goneAtUs = -1;
            }
            if (goneAtUs < 0 && backAtUs >= 0 && now >= backAtUs) {
                openPty();
                backAtUs = -1;
            }

            while (!pending.empty() && pending.front().dueUs <= now) {
                outBuffer.append(pending.front().bytes);
                pending.pop_front();
            }
            if (!pending.empty())
                // Rounded up: the wake-up is never before the piece is due.
                timeout =
                    int(std::clamp<qint64>((pending.front().dueUs - now + 999) / 1000, 0, 100));
            for (const qint64 at : {goneAtUs, backAtUs})
                if (at >= 0)
                    timeout = int(std::clamp<qint64>((at - now + 999) / 1000, 0, timeout));
            wantOut = !outBuffer.isEmpty();
        }

        pollfd fds[2] = {{wakeRead, POLLIN, 0},
                         {master, short(POLLIN | (wantOut ? POLLOUT : 0)), 0}};
        const nfds_t count = master >= 0 ? 2 : 1;
        if (::poll(fds, count, timeout) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            while (::read(wakeRead, buffer, sizeof buffer) > 0) {
            }
        if (count < 2)
            continue;

        if (fds[1].revents & POLLIN) {
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            QList<QByteArray> complete;
            if (got > 0) {
                std::lock_guard lock(mutex);
                rx.append(buffer, got);
                partialLine.append(buffer, got);
                qsizetype lf;
                while ((lf = partialLine.indexOf('\n')) >= 0) {
                    QByteArray line = partialLine.left(lf);
                    partialLine.remove(0, lf + 1);
                    if (line.endsWith('\r'))
                        line.chop(1);
                    rxLines.append(line);
                    complete.append(line);
                }
                changed.notify_all();
            }
            for (const QByteArray& line : complete)
                handleLine(line);
        }

        std::lock_guard lock(mutex);
        // Answers due now go out in this pass, not after another poll.
        const qint64 now = NowUs();
        while (!pending.empty() && pending.front().dueUs <= now) {
            outBuffer.append(pending.front().bytes);
            pending.pop_front();
        }
        if (!outBuffer.isEmpty() && master >= 0) {
            const ssize_t put = ::write(master, outBuffer.constData(), size_t(outBuffer.size()));
            if (put > 0)
                outBuffer.remove(0, put);
        }
    }
}
