// SPDX-License-Identifier: GPL-3.0-or-later
#include "Latin1.h"

QByteArray ToLatin1Text(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() <= 0xFF) {
            out.append(char(c.unicode()));
            continue;
        }
        // A surrogate pair is one character and gets one '?'.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        out.append('?');
    }
    return out;
}
