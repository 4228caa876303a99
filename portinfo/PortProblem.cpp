// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortProblem.h"

#include "EscapedText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace
{

// A handful is enough to name the culprit; /proc may list thousands.
constexpr int MaxHolders = 4;

QString ProgramName(const QString& procRoot, qint64 pid)
{
    QFile comm(QStringLiteral("%1/%2/comm").arg(procRoot).arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return EscapedText(QString::fromLocal8Bit(comm.read(64)).trimmed(), 32);
}

bool IsNumber(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!c.isDigit())
            return false;
    return true;
}

QList<TPortHolder> HoldersByDescriptor(const QString& procRoot, const QString& device)
{
    QList<TPortHolder> out;
    const QDir proc(procRoot);
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!IsNumber(entry))
            continue;
        const QDir fds(proc.filePath(entry + QStringLiteral("/fd")));
        for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() != device)
                continue;
            const qint64 pid = entry.toLongLong();
            out << TPortHolder{pid, ProgramName(procRoot, pid)};
            break;
        }
        if (out.size() >= MaxHolders)
            break;
    }
    return out;
}

// /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 00:05:7 0 EOF"; the device is
// major:minor:inode of the file system holding the device node.
QList<TPortHolder> HoldersByLock(const QString& procRoot, const QString& device)
{
    QList<TPortHolder> out;
    struct stat st {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return out;
    const QString key = QStringLiteral("%1:%2:%3")
                            .arg(major(st.st_dev), 2, 16, QLatin1Char('0'))
                            .arg(minor(st.st_dev), 2, 16, QLatin1Char('0'))
                            .arg(quint64(st.st_ino));
    QFile locks(procRoot + QStringLiteral("/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return out;
    // /proc files report size 0, so read to the end rather than test atEnd().
    const QList<QByteArray> lines = locks.read(1 << 20).split('\n');
    for (const QByteArray& line : lines) {
        const QStringList f = QString::fromLatin1(line).simplified().split(' ');
        // "->" marks a waiter, not a holder.
        if (f.size() < 6 || f.value(1) == QLatin1String("->"))
            continue;
        if (f[5].compare(key, Qt::CaseInsensitive) != 0)
            continue;
        const qint64 pid = f[4].toLongLong();
        if (pid > 0)
            out << TPortHolder{pid, ProgramName(procRoot, pid)};
        if (out.size() >= MaxHolders)
            break;
    }
    return out;
}

} // namespace

TOpenProblem ClassifyOpenError(int error)
{
    switch (error) {
    case 0:
        return TOpenProblem::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO: // a ttyS node without a UART behind it
    case ENOTDIR:
        return TOpenProblem::NoDevice;
    case EACCES:
    case EPERM:
    case EROFS:
        return TOpenProblem::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return TOpenProblem::Busy;
    default:
        return TOpenProblem::Other;
    }
}

QString OpenProblemText(TOpenProblem problem, int error)
{
    switch (problem) {
    case TOpenProblem::None:
        return QStringLiteral("opened");
    case TOpenProblem::NoDevice:
        return QStringLiteral("no device file");
    case TOpenProblem::PermissionDenied:
        return QStringLiteral("permission denied");
    case TOpenProblem::Busy:
        return QStringLiteral("held by another program");
    case TOpenProblem::Other:
        break;
    }
    return QStringLiteral("could not be opened (%1)")
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}

QString OpenProblemAdvice(TOpenProblem problem)
{
    if (problem == TOpenProblem::PermissionDenied)
        return QStringLiteral("add yourself to the dialout group with "
                              "\"sudo usermod -aG dialout $USER\", then log in again");
    return QString();
}

QList<TPortHolder> FindPortHolders(const QString& devicePath, const QString& procRoot)
{
    const QString canonical = QFileInfo(devicePath).canonicalFilePath();
    const QString device = canonical.isEmpty() ? devicePath : canonical;
    // A lock names exactly the holder that keeps MERO out; descriptors also
    // show programs that merely have the device open.
    QList<TPortHolder> holders = HoldersByLock(procRoot, device);
    if (holders.isEmpty())
        holders = HoldersByDescriptor(procRoot, device);
    return holders;
}

QString HoldersText(const QList<TPortHolder>& holders)
{
    QStringList parts;
    for (const TPortHolder& h : holders)
        parts << (h.program.isEmpty()
                      ? QStringLiteral("process %1").arg(h.pid)
                      : QStringLiteral("%1 (process %2)").arg(h.program).arg(h.pid));
    return parts.join(QStringLiteral(", "));
}
