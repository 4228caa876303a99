// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Text from a device or the system made safe to show on one line: CR, LF and
// tab as \r \n \t, other control characters (C0, DEL, C1) as \xHH, and at most
// maxChars characters (a cut text ends in "...", which survives Latin-1 logs). Never fails on any
// input.
QString EscapedText(QStringView text, qsizetype maxChars = 120);
// The same for 8-bit text (each byte one Latin-1 character).
QString EscapedLatin1(QByteArrayView bytes, qsizetype maxChars = 120);
