// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The lines the operator sent from the terminal this session, for Up and
// Down. Newest first; a line equal to the newest is not added again; empty
// lines are not kept. Bounded in entries and in characters, so a session of
// long lines cannot grow memory without end. Nothing is stored on disk.
class TTerminalHistory
{
public:
    static constexpr qsizetype MaxEntries = 200;
    static constexpr qsizetype MaxTotalChars = 512 * 1024;

    // Records a sent line and ends any walk through the history.
    void Add(const QString& line);

    // One step back (Up): the next older line, or nullopt at the oldest or
    // with no history. The first step keeps `current` as the draft.
    std::optional<QString> Older(const QString& current);
    // One step forward (Down): the next newer line, past the newest the
    // draft; nullopt when not walking.
    std::optional<QString> Newer();
    // Ends a walk (Escape, or the operator edited the line).
    void EndWalk();

    const QStringList& Lines() const { return fLines; } // newest first
    qsizetype TotalChars() const { return fTotal; }

private:
    QStringList fLines;
    qsizetype fTotal = 0;
    qsizetype fPos = -1; // index into fLines while walking, else -1
    QString fDraft;
};
