// SPDX-License-Identifier: GPL-3.0-or-later
// Identification replies: ParseIdentity, TrimRight.
//
// Asserts: nothing is read outside the reply; every field is the piece of the
// reply the parser describes (checked against a separate splitter); the serial
// number is a 32-bit value read exactly, and a bad one keeps the old serial and
// firmware (the integer reader itself is fuzzed with the reply numbers).

#include "FuzzCheck.h"
#include "Identity.h"
#include "NumberShape.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace
{

std::string_view RefTrimRight(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32)
        s.remove_suffix(1);
    return s;
}

QByteArray Bytes(std::string_view s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A copy of exactly the input, so ASan sees any read past it.
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // TrimRight is a prefix without a trailing byte <= 32.
    {
        const QByteArrayView t = TrimRight(QByteArrayView(data, qsizetype(size)));
        FUZZ_CHECK(std::string_view(t.data(), std::size_t(t.size())) == RefTrimRight(input));
    }

    // ParseIdentity over a record holding earlier values.
    TIdentity before;
    before.CompanyName = "OldCompany";
    before.ModelName = "OldModel";
    before.SerialNumber = 4711;
    before.FirmwareVersion = "OldFirmware";
    TIdentity id = before;
    ParseIdentity(QByteArrayView(data, qsizetype(size)), id);

    const std::string_view reply = RefTrimRight(input);
    if (reply.size() < 11) {
        FUZZ_CHECK(id == TIdentity{});
        return 0;
    }
    // Split by hand: a field before each comma; a missing comma gives an empty
    // field and the whole rest.
    std::string_view rest = reply;
    auto next = [&rest]() {
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos)
            return std::string_view();
        const std::string_view field = rest.substr(0, comma);
        rest.remove_prefix(comma + 1);
        return field;
    };
    const std::string_view company = next();
    const std::string_view model = next();
    const std::string_view serial = next();
    FUZZ_CHECK(id.CompanyName == Bytes(RefTrimRight(company)));
    FUZZ_CHECK(id.ModelName == Bytes(RefTrimRight(model)));
    FUZZ_CHECK(!id.CompanyName.contains(',') && !id.ModelName.contains(','));
    const auto number = ReferenceInt32(RefTrimRight(serial));
    if (number) {
        FUZZ_CHECK(id.SerialNumber == *number);
        FUZZ_CHECK(id.FirmwareVersion == Bytes(rest));
    } else {
        FUZZ_CHECK(id.SerialNumber == before.SerialNumber);
        FUZZ_CHECK(id.FirmwareVersion == before.FirmwareVersion);
    }
    FUZZ_CHECK(IsAcceptedModel(id.ModelName) == (id.ModelName == "2740" || id.ModelName == "2640"));
    return 0;
}
