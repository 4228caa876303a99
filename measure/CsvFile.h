// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A file the measurements are written to, with the rules of the log file: a
// link is never followed, only a regular file is taken (a FIFO or device in
// its place is refused at once, never waited on), and each line reaches the
// file with its own write, so a crash loses nothing already written. The
// file is created or emptied. Open and WriteLine give a message for the
// operator on failure; after a failed write the file is closed.
class TCsvFile
{
public:
    TCsvFile() = default;
    ~TCsvFile() { Close(); }
    TCsvFile(const TCsvFile&) = delete;
    TCsvFile& operator=(const TCsvFile&) = delete;

    bool Open(const QString& path, QString* error);
    bool WriteLine(const QByteArray& line, QString* error);
    void Close();

    bool IsOpen() const { return fd >= 0; }
    QString Path() const { return fPath; }
    qint64 Size() const { return fSize; }
    // Descriptor of the open file or -1; for fault tests only.
    int Handle() const { return fd; }

private:
    int fd = -1;
    QString fPath;
    qint64 fSize = 0;
};
