// SPDX-License-Identifier: GPL-3.0-or-later
#include "OperatorCommands.h"

#include <QLatin1StringView>

QString ToggleCommand(const char* mnemonic, qint32 cachedState)
{
    if (cachedState == 0)
        return QLatin1StringView(mnemonic) + QLatin1StringView(" 1");
    if (cachedState == 1)
        return QLatin1StringView(mnemonic) + QLatin1StringView(" 0");
    return {};
}

QString ChoiceCommand(const char* mnemonic, int itemIndex, bool inverted)
{
    if (itemIndex != 0 && itemIndex != 1)
        return {};
    const int value = inverted ? 1 - itemIndex : itemIndex;
    return QLatin1StringView(mnemonic) + QLatin1Char(' ') + QString::number(value);
}

QString IndexCommand(const char* mnemonic, int itemIndex)
{
    return QLatin1StringView(mnemonic) + QLatin1Char(' ') +
           QString::number(itemIndex < 0 ? -1 : itemIndex);
}

qint32 BinOfItem(int itemIndex)
{
    return itemIndex < 0 ? 0 : itemIndex + 1;
}

QString TypedLine(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
        ++end;
    return text.left(end);
}

QString NotAnIntegerMessage(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1StringView("' is not a valid integer value");
}
