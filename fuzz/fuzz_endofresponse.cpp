// SPDX-License-Identifier: GPL-3.0-or-later
// End-of-response texts: DecodeEndOfResponse.
//
// Asserts: a text without "#" is its own bytes; any other text decodes exactly
// as a separate reader of "literal prefix, then #<decimal code> escapes" does,
// or comes back unchanged when an escape is bad; a code above 255 gives "?";
// the result is never longer than the text; and every byte string written in
// the escape form decodes back to itself.

#include "FuzzCheck.h"
#include "KxComPort.h"

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace
{

std::optional<std::string> RefDecode(std::string_view text)
{
    const std::size_t hash = text.find('#');
    std::string out(text.substr(0, hash));
    if (hash == std::string_view::npos)
        return out;
    std::string_view rest = text.substr(hash);
    while (!rest.empty()) {
        rest.remove_prefix(1); // the '#'
        const std::size_t next = rest.find('#');
        const std::string_view digits = rest.substr(0, next);
        if (digits.empty() || digits.size() > 9)
            return std::nullopt;
        long code = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
            code = code * 10 + (c - '0');
        }
        out += code <= 255 ? char(code) : '?';
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const QByteArray text(input.data(), qsizetype(input.size()));
    const QByteArray decoded = DecodeEndOfResponse(text);
    const std::string_view got(decoded.constData(), std::size_t(decoded.size()));

    FUZZ_CHECK(decoded.size() <= text.size());
    const auto ref = RefDecode(input);
    if (ref)
        FUZZ_CHECK(got == *ref);
    else
        FUZZ_CHECK(decoded == text);
    if (!text.contains('#'))
        FUZZ_CHECK(decoded == text);

    // The input as raw bytes, written as a literal prefix (no '#') and escapes.
    std::size_t literal = size > 0 ? data[0] % (size + 1) : 0;
    std::string encoded;
    std::string raw;
    for (std::size_t i = 1; i < size; ++i) {
        const char c = char(data[i]);
        if (i <= literal && c != '#') {
            encoded += c;
        } else {
            literal = 0;
            encoded += '#';
            // Leading zeros are allowed in an escape.
            if (data[i] & 1)
                encoded += '0';
            encoded += std::to_string(data[i]);
        }
        raw += c;
    }
    const QByteArray back =
        DecodeEndOfResponse(QByteArray(encoded.data(), qsizetype(encoded.size())));
    FUZZ_CHECK(back == QByteArray(raw.data(), qsizetype(raw.size())));

    // Setting it on a port (never opened) keeps the text and the decoded bytes.
    TKxComPort port;
    port.SetEndOfResponse(text);
    FUZZ_CHECK(port.EndOfResponse() == text);
    FUZZ_CHECK(port.EndOfResponseRaw() == decoded);
    return 0;
}
