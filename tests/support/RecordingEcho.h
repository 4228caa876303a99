// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ResponseEcho.h"

#include <QList>

// Records every echo line with its colour.
class RecordingEcho : public IResponseEcho
{
public:
    struct Line {
        QString text;
        QColor colour;
    };
    void AppendLine(const QString& text, const QColor& colour) override
    {
        fLines.append({text, colour});
    }
    void Clear() override
    {
        fLines.clear();
        ++clears;
    }
    const QList<Line>& lines() const { return fLines; }
    int clears = 0;

private:
    QList<Line> fLines;
};
