#include "Identity.h"

#include <limits>

namespace
{

constexpr qsizetype MinimumReplyLength = 11;

// Text before the first comma (all of it when there is none) and what follows.
struct TSplit {
    QByteArrayView Field;
    QByteArrayView Rest;
};

TSplit SplitAtComma(QByteArrayView text)
{
    const qsizetype comma = text.indexOf(',');
    if (comma < 0)
        return {{}, text};
    return {text.first(comma), text.sliced(comma + 1)};
}

} // namespace

QByteArrayView TrimRight(QByteArrayView text)
{
    qsizetype n = text.size();
    while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= 32)
        --n;
    return text.first(n);
}

bool TextToInt32(QByteArrayView text, std::int32_t& value)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    // The magnitude limit differs by sign so that -2147483648 is accepted.
    const std::int64_t limit = negative ? -std::int64_t(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit)
            return false;
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

bool IsAcceptedModel(QByteArrayView model)
{
    return model == "2740" || model == "2640";
}

void ParseIdentity(QByteArrayView reply, TIdentity& id)
{
    reply = TrimRight(reply);
    if (reply.size() < MinimumReplyLength) {
        id = TIdentity{};
        return;
    }
    const TSplit company = SplitAtComma(reply);
    id.CompanyName = TrimRight(company.Field).toByteArray();
    const TSplit model = SplitAtComma(company.Rest);
    id.ModelName = TrimRight(model.Field).toByteArray();
    const TSplit serial = SplitAtComma(model.Rest);
    std::int32_t number = 0;
    if (!TextToInt32(TrimRight(serial.Field), number))
        return;
    id.SerialNumber = number;
    id.FirmwareVersion = serial.Rest.toByteArray();
}
