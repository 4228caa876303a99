// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyResponder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyResponder::PtyResponder(const QString& dir, int comNumber, const QByteArray& reply)
    : com(comNumber), link(dir + QStringLiteral("/COM") + QString::number(comNumber)), answer(reply)
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        qFatal("PtyResponder: no pseudo-terminal: %s", strerror(errno));
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0)
        qFatal("PtyResponder: ptsname failed");
    // Held open so the master never reads EIO while the client side is closed.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        qFatal("PtyResponder: cannot open %s", name);
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("PtyResponder: pipe failed");

    const QByteArray path = QFile::encodeName(link);
    ::unlink(path.constData());
    if (::symlink(name, path.constData()) != 0)
        qFatal("PtyResponder: cannot link %s", path.constData());
    worker = std::thread([this] { run(); });
}

PtyResponder::~PtyResponder()
{
    const char stop = 'x';
    [[maybe_unused]] const auto n = ::write(wake[1], &stop, 1);
    worker.join();
    ::unlink(QFile::encodeName(link).constData());
    for (int fd : {master, slave, wake[0], wake[1]})
        ::close(fd);
}

void PtyResponder::run()
{
    char buffer[4096];
    for (;;) {
        pollfd p[2] = {{master, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR)
            return;
        if (p[1].revents)
            return;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\r')
                continue;
            lastAt = Clock::now().time_since_epoch().count();
            ++count;
            if (!silent) {
                [[maybe_unused]] const auto w = ::write(master, answer.constData(), answer.size());
            }
        }
    }
}
