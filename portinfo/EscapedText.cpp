// SPDX-License-Identifier: GPL-3.0-or-later
#include "EscapedText.h"

QString EscapedText(QStringView text, qsizetype maxChars)
{
    QString out;
    out.reserve(std::min(text.size(), maxChars) + 1);
    qsizetype shown = 0;
    for (const QChar c : text) {
        if (shown >= maxChars) {
            out.append(QLatin1String("..."));
            break;
        }
        const char16_t u = c.unicode();
        if (u == u'\r')
            out.append(QLatin1String("\\r"));
        else if (u == u'\n')
            out.append(QLatin1String("\\n"));
        else if (u == u'\t')
            out.append(QLatin1String("\\t"));
        else if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            out.append(QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0')));
        else if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF)
            out.append(QChar(QChar::ReplacementCharacter));
        else
            out.append(c);
        ++shown;
    }
    return out;
}

QString EscapedLatin1(QByteArrayView bytes, qsizetype maxChars)
{
    return EscapedText(QString::fromLatin1(bytes.first(std::min(bytes.size(), maxChars + 1))),
                       maxChars);
}
