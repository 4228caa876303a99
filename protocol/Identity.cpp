// SPDX-License-Identifier: GPL-3.0-or-later
#include "Identity.h"

#include "NumberFormat.h"

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
    // The one integer reader of replies and production boxes.
    const std::optional<qint32> number = NumberFormat::ParseInt32(TrimRight(serial.Field));
    if (!number)
        return;
    id.SerialNumber = *number;
    id.FirmwareVersion = serial.Rest.toByteArray();
}
