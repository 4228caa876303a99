#include "OperatorCommands.h"

#include <QLatin1StringView>

#include <cmath>
#include <limits>

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

std::optional<qint32> TypedInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > qint64(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

QString NotAnIntegerMessage(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1StringView("' is not a valid integer value");
}

int BarMaximum(double limit)
{
    if (!std::isfinite(limit) || limit <= 0)
        return 0;
    const double r = std::nearbyint(limit);
    if (r >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(r);
}
