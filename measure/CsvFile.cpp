// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QString Reason(int err)
{
    if (err == ELOOP)
        return QStringLiteral("it is a symbolic link");
    // A FIFO without a reader refuses a non-blocking open for writing.
    if (err == ENXIO)
        return QStringLiteral("it is not a regular file");
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

bool TCsvFile::Open(const QString& path, QString* error)
{
    Close();
    fPath = path;
    fSize = 0;
    auto fail = [&](const QString& why) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2.").arg(path, why);
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    // No O_TRUNC yet: a FIFO or device must be seen and refused before
    // anything is done to it, and O_NONBLOCK keeps a FIFO's open from waiting.
    fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(Reason(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return fail(Reason(errno));
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("it is not a regular file"));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0)
        return fail(Reason(errno));
    return true;
}

bool TCsvFile::WriteLine(const QByteArray& line, QString* error)
{
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": the file is not open.").arg(fPath);
        return false;
    }
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t r = ::write(fd, line.constData() + done, size_t(line.size() - done));
        if (r > 0) {
            done += r;
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        const int err = r < 0 ? errno : ENOSPC;
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2.").arg(fPath, Reason(err));
        Close();
        return false;
    }
    fSize += line.size();
    return true;
}

void TCsvFile::Close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
