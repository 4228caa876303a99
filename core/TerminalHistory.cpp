// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalHistory.h"

void TTerminalHistory::Add(const QString& line)
{
    EndWalk();
    if (line.isEmpty() || line.size() > MaxTotalChars)
        return;
    if (!fLines.isEmpty() && fLines.constFirst() == line)
        return;
    fLines.prepend(line);
    fTotal += line.size();
    while (fLines.size() > MaxEntries || fTotal > MaxTotalChars) {
        fTotal -= fLines.constLast().size();
        fLines.removeLast();
    }
}

std::optional<QString> TTerminalHistory::Older(const QString& current)
{
    if (fPos + 1 >= fLines.size())
        return std::nullopt;
    if (fPos < 0)
        fDraft = current;
    ++fPos;
    return fLines.at(fPos);
}

std::optional<QString> TTerminalHistory::Newer()
{
    if (fPos < 0)
        return std::nullopt;
    --fPos;
    if (fPos < 0) {
        QString draft = fDraft;
        fDraft.clear();
        return draft;
    }
    return fLines.at(fPos);
}

void TTerminalHistory::EndWalk()
{
    fPos = -1;
    fDraft.clear();
}
