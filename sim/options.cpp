// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "numbers.h"

#include <cctype>
#include <cmath>
#include <string_view>

namespace sim
{

namespace
{

bool printableText(std::string_view s)
{
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7e)
            return false;
    }
    return true;
}

bool readLong(std::string_view text, long lo, long hi, long& out)
{
    const auto v = parseInteger(text);
    if (!v || *v < lo || *v > hi)
        return false;
    out = *v;
    return true;
}

// The mnemonic before the colon of "M:..." (two or three letters or digits), upper case;
// false when the text has no such part.
bool readMnemonic(std::string_view text, std::string& out)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 || colon > 3)
        return false;
    out.clear();
    for (char c : text.substr(0, colon)) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
        out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    return true;
}

// "M" or "M+MS" before the colon of "...:TEXT"; MS from 0 to 600000.
bool readMnemonicAndDelay(std::string_view text, std::string& mnemonic, int& ms)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view head = text.substr(0, colon);
    ms = -1;
    if (const auto plus = head.find('+'); plus != std::string_view::npos) {
        long n = 0;
        if (!readLong(head.substr(plus + 1), 0, 600000, n))
            return false;
        ms = static_cast<int>(n);
        head = head.substr(0, plus);
    }
    return readMnemonic(std::string(head) + ":", mnemonic);
}

} // namespace

std::string parseOptions(int argc, char** argv, SimOptions& out)
{
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view name = arg;
        std::string_view value;
        bool inlineValue = false;
        if (const auto eq = arg.find('=');
            arg.substr(0, 2) == "--" && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        // Fetches the option's value from "--name=value" or the next argument.
        auto need = [&](std::string_view& v) {
            if (inlineValue) {
                v = value;
                return true;
            }
            if (i + 1 >= argc)
                return false;
            v = argv[++i];
            return true;
        };
        const std::string bad = "invalid value for " + std::string(name);
        std::string_view v;
        long n = 0;

        if (name == "--help" || name == "-h") {
            out.help = true;
        } else if (name == "--version") {
            out.version = true;
        } else if (name == "--cr-only") {
            out.crOnly = true;
        } else if (name == "--no-noise") {
            out.unit.noise = false;
        } else if (name == "--silent") {
            out.silentAfter = 0;
        } else if (name == "--com-dir") {
            if (!need(v) || v.empty())
                return bad;
            out.comDir = std::string(v);
        } else if (name == "--port") {
            if (!need(v) || !readLong(v, 1, 100, n))
                return bad + " (1 to 100)";
            out.port = static_cast<int>(n);
        } else if (name == "--company" || name == "--model" || name == "--firmware") {
            if (!need(v) || !printableText(v))
                return bad + " (printable ASCII)";
            std::string& field = name == "--company" ? out.unit.company
                                 : name == "--model" ? out.unit.model
                                                     : out.unit.firmware;
            field = std::string(v);
        } else if (name == "--serial") {
            const auto s = need(v) ? parseInteger(v) : std::nullopt;
            if (!s)
                return bad;
            out.unit.serial = *s;
        } else if (name == "--config") {
            const auto s = need(v) ? parseInteger(v) : std::nullopt;
            if (!s)
                return bad;
            out.unit.config = *s;
        } else if (name == "--seed") {
            const auto s = need(v) ? parseInteger(v) : std::nullopt;
            if (!s)
                return bad;
            out.unit.seed = static_cast<std::uint64_t>(static_cast<std::uint32_t>(*s));
            out.seedGiven = true;
        } else if (name == "--thermal-tau") {
            const auto s = need(v) ? parseNumber(v) : std::nullopt;
            if (!s || *s <= 0.0 || *s > 1e6)
                return bad + " (seconds above 0)";
            out.unit.thermalTau = *s;
        } else if (name == "--silent-after") {
            if (!need(v) || !readLong(v, 0, 2147483647L, n))
                return bad;
            out.silentAfter = n;
        } else if (name == "--delay") {
            if (!need(v) || !readLong(v, 0, 60000, n))
                return bad + " (0 to 60000 ms)";
            out.delayMs = static_cast<int>(n);
        } else if (name == "--drop-every") {
            if (!need(v) || !readLong(v, 1, 2147483647L, n))
                return bad;
            out.dropEvery = n;
        } else if (name == "--garbage") {
            GarbageRule rule;
            long bytes = 0;
            if (!need(v) || !readMnemonic(v, rule.mnemonic) ||
                !readLong(v.substr(v.find(':') + 1), 1, 4096, bytes))
                return bad + " (MNEMONIC:BYTES, 1 to 4096 bytes)";
            rule.bytes = static_cast<std::size_t>(bytes);
            out.garbage.push_back(rule);
        } else if (name == "--answer") {
            AnswerRule rule;
            if (!need(v) || !readMnemonic(v, rule.mnemonic))
                return bad + " (MNEMONIC:TEXT)";
            rule.text = std::string(v.substr(v.find(':') + 1));
            if (rule.text.find_first_of("\r\n") != std::string::npos)
                return bad + " (no CR or LF in TEXT)";
            out.answers.push_back(rule);
        } else if (name == "--unsolicited") {
            UnsolicitedRule rule;
            if (!need(v) || !readMnemonicAndDelay(v, rule.mnemonic, rule.afterMs))
                return bad + " (MNEMONIC:TEXT or MNEMONIC+MS:TEXT)";
            rule.text = std::string(v.substr(v.find(':') + 1));
            if (rule.text.find_first_of("\r\n") != std::string::npos)
                return bad + " (no CR or LF in TEXT)";
            out.unsolicited.push_back(rule);
        } else if (name == "--late") {
            LateRule rule;
            long ms = 0;
            if (!need(v) || !readMnemonic(v, rule.mnemonic) ||
                !readLong(v.substr(v.find(':') + 1), 0, 600000, ms))
                return bad + " (MNEMONIC:MS, 0 to 600000 ms)";
            rule.ms = static_cast<int>(ms);
            out.late.push_back(rule);
        } else if (name == "--flicker-after") {
            const auto colon = need(v) ? v.find(':') : std::string_view::npos;
            const auto s =
                colon == std::string_view::npos ? std::nullopt : parseNumber(v.substr(0, colon));
            long ms = 0;
            if (!s || *s < 0.0 || *s > 1e7 || !readLong(v.substr(colon + 1), 1, 600000, ms))
                return bad + " (SECONDS:MS)";
            out.flickerAfter = *s;
            out.flickerMs = static_cast<int>(ms);
        } else if (name == "--unplug-after") {
            const auto s = need(v) ? parseNumber(v) : std::nullopt;
            if (!s || *s < 0.0 || *s > 1e7)
                return bad + " (seconds)";
            out.unplugAfter = *s;
        } else if (name == "--trace") {
            if (!need(v) || v.empty())
                return bad;
            out.traceFile = std::string(v);
        } else {
            return "unknown option " + std::string(arg) + " (see --help)";
        }
    }
    return {};
}

std::string helpText()
{
    return R"(Usage: mero-sim [options]

A virtual laser-diode driver unit on a pseudo-terminal. The pseudo-terminal is linked
as COM<n> in a directory; the first line of output is MERO_COM_DIR=<dir>. Start MERO
with that variable set and it finds the unit there. Runs until SIGINT or SIGTERM, then
removes its link (and the directory, when it made a temporary one and it is empty).

Link:
  --com-dir DIR        directory for the link (created if missing;
                       default: a new temporary directory)
  --port N             link name COM<N>, 1 to 100 (default 3); several instances
                       can serve several ports of one directory
  --cr-only            end replies with CR alone (default CR LF)

Identity and model:
  --company TEXT       company field of the ID reply (default "MERO Virtual Unit")
  --model TEXT         model field (default 2740; MERO accepts 2740 and 2640)
  --serial N           serial number (default 10001; "SER n" changes it)
  --firmware TEXT      firmware field (default 1.0.0)
  --config N           configuration code (default 0; 1 = extended variant;
                       "CFG n" changes it)
  --thermal-tau S      thermal time constant in seconds (default 20)
  --no-noise           measurements without noise
  --seed N             seed of the measurement noise (default: random)

Fault injection:
  --silent             never answer
  --silent-after N     answer N lines, then nothing
  --delay MS           wait MS milliseconds before each reply
  --drop-every N       ignore every N-th received line (no effect, no reply)
  --garbage M:BYTES    answer mnemonic M with BYTES random bytes and no CR
                       (may be given several times)
  --answer M:TEXT      answer the query M? with TEXT whatever the unit holds
                       (may be given several times)
  --unplug-after S     after S seconds close the pseudo-terminal, remove the
                       link and exit
  --flicker-after S:MS after S seconds vanish for MS milliseconds (the
                       pseudo-terminal closed, the link removed), then come back
                       on the same link with a new pseudo-terminal, settings kept
  --unsolicited M:TEXT the first time the query M? arrives, send the line TEXT
                       unasked before its reply; M+MS:TEXT sends it MS ms after
                       the reply (may be given several times)
  --late M:MS          answer the query M? MS milliseconds after it arrived
                       (may be given several times)

Diagnostics:
  --trace FILE         write one line per event, "<microseconds> <KIND> <text>",
                       stamped with the monotonic clock: RX a received line,
                       TX a reply, SEND a line sent unasked, DROP and MUTE a
                       line left unanswered, LOST reply bytes nobody took,
                       START, STOP, UNPLUG, GONE and BACK
  --help               show this text
  --version            show the version

Lines end with CR LF or CR and may start with ";DC:". Queries are "<M>?", set
commands "<M> <value>"; a set command is answered "OK", a bad line "ERR <reason>".
)";
}

} // namespace sim
