// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>

// Where the transport echoes its exchanges: the main window's ResponseList
// implements it (inserting plain text, never HTML); tests record the lines.
class IResponseEcho
{
public:
    virtual ~IResponseEcho() = default;
    // Appends one line, already stamped, in the given colour.
    virtual void AppendLine(const QString& text, const QColor& colour) = 0;
    virtual void Clear() = 0;
};

// Colours of the echo lines.
inline const QColor EchoCommandColour = QColor(0x00, 0x00, 0x00);
inline const QColor EchoReplyColour = QColor(0x00, 0x80, 0x00);
