// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A fresh temporary directory that is the working directory while the object
// lives (log files land in the working directory); the previous one comes back
// before the directory is removed.

#include <QDir>
#include <QTemporaryDir>

class TTempWorkingDir
{
public:
    TTempWorkingDir() : previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~TTempWorkingDir() { QDir::setCurrent(previous); }
    TTempWorkingDir(const TTempWorkingDir&) = delete;
    TTempWorkingDir& operator=(const TTempWorkingDir&) = delete;

    QString path() const { return dir.path(); }
    QString filePath(const QString& name) const { return dir.filePath(name); }

private:
    QString previous;
    QTemporaryDir dir;
};
