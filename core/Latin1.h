// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// 8-bit texts (wire, replies, identity, log) are Latin-1: each byte is one
// character, and a character above U+00FF is written as one '?'.
QByteArray ToLatin1Text(QStringView text);
inline QString FromLatin1Text(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}
