// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Splitting the unit's identification reply ("company,model,serial,firmware")
// into the four identity fields, without any I/O, so that the scan and the
// tests share one parser.

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

struct TIdentity {
    QByteArray CompanyName;
    QByteArray ModelName;
    std::int32_t SerialNumber = 0;
    QByteArray FirmwareVersion;

    friend bool operator==(const TIdentity&, const TIdentity&) = default;
};

// Updates id from one identification reply, in this order:
//  - the reply is right-trimmed (bytes 0..32); under 11 bytes it is no
//    identification and all four fields are cleared;
//  - CompanyName and ModelName are the first two comma-separated fields,
//    right-trimmed (an absent comma gives an empty field and leaves the rest
//    whole);
//  - the third field, right-trimmed, must be a 32-bit integer as
//    NumberFormat::ParseInt32 reads one (leading spaces or tabs and a sign
//    allowed); otherwise parsing stops there and SerialNumber and
//    FirmwareVersion keep their old values;
//  - FirmwareVersion is everything after the third comma, unchanged.
// Any bytes are accepted; nothing is read outside the reply.
void ParseIdentity(QByteArrayView reply, TIdentity& id);

// True for the models the program drives: "2740" and "2640", whole field only.
bool IsAcceptedModel(QByteArrayView model);

// The reply text with its trailing run of bytes 0..32 removed.
QByteArrayView TrimRight(QByteArrayView text);
