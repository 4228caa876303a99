// SPDX-License-Identifier: GPL-3.0-or-later
#include "unit.h"

#include "numbers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace sim
{

namespace
{

constexpr double Ambient = 25.0;     // deg C
constexpr double HeatPerAmp2 = 0.02; // steady rise per A^2 while pulsing
constexpr double TripTemp = 60.0;    // over temperature sets at this temperature
constexpr double ClearTemp = 50.0;   // and clears again below this one
constexpr double Epsilon = 1e-9;

bool isAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::string formatInteger(std::int64_t v)
{
    return std::to_string(v);
}

// Reads an integer within lo..hi into `out`; returns "OK" or the error reply.
std::string assignInteger(std::string_view text, std::int32_t lo, std::int32_t hi,
                          std::int32_t& out)
{
    const auto v = parseInteger(text);
    if (!v)
        return "ERR bad value";
    if (*v < lo || *v > hi)
        return "ERR out of range";
    out = *v;
    return "OK";
}

} // namespace

ParsedLine parseLine(std::string_view line)
{
    ParsedLine p;
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7e) {
            p.error = "ERR bad character";
            return p;
        }
    }
    if (line.substr(0, 4) == ";DC:")
        line.remove_prefix(4);
    line = trimBlanks(line);
    if (line.empty()) {
        p.error = "ERR empty command";
        return p;
    }
    std::size_t n = 0;
    while (n < line.size() && isAlnum(line[n]))
        ++n;
    const bool letterFirst = n > 0 && !(line[0] >= '0' && line[0] <= '9');
    if (n < 2 || n > 3 || !letterFirst) {
        p.error = "ERR syntax";
        return p;
    }
    for (std::size_t i = 0; i < n; ++i)
        p.mnemonic.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(line[i]))));
    const std::string_view rest = line.substr(n);
    if (rest == "?") {
        p.kind = ParsedLine::Kind::Query;
    } else if (!rest.empty() && rest.front() == ' ') {
        const std::string_view value = trimBlanks(rest);
        if (value.empty()) {
            p.error = "ERR missing value";
            return p;
        }
        p.kind = ParsedLine::Kind::Set;
        p.value = std::string(value);
    } else {
        p.error = "ERR syntax";
    }
    return p;
}

Unit::Unit(const UnitOptions& options) : m_id(options), m_rng(options.seed), m_temperature(Ambient)
{
    for (auto& bin : m_bins)
        bin = m_op;
    buildCommands();
}

std::string Unit::handle(std::string_view line, double now)
{
    advance(now);
    const ParsedLine p = parseLine(line);
    if (p.kind == ParsedLine::Kind::Bad)
        return p.error;
    const auto it = m_commands.find(p.mnemonic);
    if (it == m_commands.end())
        return "ERR unknown command";
    const Command& cmd = it->second;
    if (cmd.extended && m_id.config != 1)
        return "ERR not available";
    std::string reply;
    if (p.kind == ParsedLine::Kind::Query)
        reply = cmd.query ? cmd.query() : "ERR no query";
    else
        reply = cmd.set ? cmd.set(p.value) : "ERR read only";
    enforce();
    return reply;
}

void Unit::addNumber(const char* name, double* field, int decimals, double lo,
                     std::function<double()> hi, bool extended)
{
    Command c;
    c.extended = extended;
    c.query = [field, decimals] { return formatFixed(*field, decimals); };
    c.set = [field, decimals, lo, hi](std::string_view text) -> std::string {
        const auto v = parseNumber(text);
        if (!v)
            return "ERR bad value";
        const double q = quantize(*v, decimals);
        if (q < lo - Epsilon || q > hi() + Epsilon)
            return "ERR out of range";
        *field = q == 0.0 ? 0.0 : q;
        return "OK";
    };
    m_commands.emplace(name, std::move(c));
}

void Unit::addInteger(const char* name, std::int32_t* field, std::int32_t lo, std::int32_t hi,
                      bool extended, std::function<void()> after)
{
    Command c;
    c.extended = extended;
    c.query = [field] { return formatInteger(*field); };
    c.set = [field, lo, hi, after](std::string_view text) -> std::string {
        std::string reply = assignInteger(text, lo, hi, *field);
        if (reply == "OK" && after)
            after();
        return reply;
    };
    m_commands.emplace(name, std::move(c));
}

void Unit::addReading(const char* name, std::function<std::string()> query, bool extended)
{
    Command c;
    c.extended = extended;
    c.query = std::move(query);
    m_commands.emplace(name, std::move(c));
}

void Unit::buildCommands()
{
    constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();

    // Identity and configuration.
    addReading(
        "ID",
        [this] {
            return m_id.company + "," + m_id.model + "," + formatInteger(m_id.serial) + "," +
                   m_id.firmware;
        },
        false);
    addInteger("CFG", &m_id.config, Min32, Max32);
    addInteger("SER", &m_id.serial, Min32, Max32);
    addInteger("BDG", &m_badge, Min32, Max32);

    // Operating settings.
    addNumber("CS", &m_op.current, 2, 0.0, [this] { return double(m_maxCurrent); });
    addNumber("RR", &m_op.rate, 1, 0.1, [this] { return double(m_maxRate); });
    addNumber("PW", &m_op.width, 7, 0.0000001, [] { return 1.0; });
    addInteger("BC", &m_op.burst, 1, 1000000);
    addInteger("PM", &m_op.mode, 0, 3);

    // Set-up values; lowering a maximum pulls the setting it limits down with it.
    addInteger("MC", &m_maxCurrent, 0, 200, false,
               [this] { m_op.current = std::min(m_op.current, double(m_maxCurrent)); });
    {
        Command c;
        c.query = [this] { return formatInteger(m_maxRate); };
        // Sent as a general number; a fraction is rounded away like the unit's own knob.
        c.set = [this](std::string_view text) -> std::string {
            const auto v = parseNumber(text);
            if (!v)
                return "ERR bad value";
            const double r = std::nearbyint(*v);
            if (r < 1 || r > 1000000)
                return "ERR out of range";
            m_maxRate = static_cast<std::int32_t>(r);
            m_op.rate = std::min(m_op.rate, double(m_maxRate));
            return "OK";
        };
        m_commands.emplace("MR", std::move(c));
    }
    addNumber("CV", &m_compliance, 1, 0.0, [] { return 60.0; });
    addInteger("TB", &m_tempBypass, 0, 1);
    addInteger("IC", &m_interlock, 0, 1);
    {
        // Reports the opposite of the value last sent, so that "PE 1" reads back as 0.
        Command c;
        c.query = [this] { return formatInteger(m_pulseEnableSent ? 0 : 1); };
        c.set = [this](std::string_view text) {
            return assignInteger(text, 0, 1, m_pulseEnableSent);
        };
        m_commands.emplace("PE", std::move(c));
    }

    // Storage bins.
    {
        Command c;
        c.query = [this] { return formatInteger(m_bin); };
        c.set = [this](std::string_view text) -> std::string {
            std::int32_t bin = 0;
            if (auto err = assignInteger(text, 1, 5, bin); err != "OK")
                return err;
            m_bin = bin;
            m_op = m_bins[bin - 1];
            m_op.current = std::min(m_op.current, double(m_maxCurrent));
            m_op.rate = std::clamp(m_op.rate, 0.1, double(m_maxRate));
            return "OK";
        };
        m_commands.emplace("RC", std::move(c));
    }
    {
        Command c;
        c.set = [this](std::string_view text) -> std::string {
            std::int32_t bin = 0;
            if (auto err = assignInteger(text, 1, 5, bin); err != "OK")
                return err;
            m_bin = bin;
            m_bins[bin - 1] = m_op;
            return "OK";
        };
        m_commands.emplace("SV", std::move(c));
    }

    // Enable and start.
    addInteger("EN", &m_enabled, 0, 1, false, [this] {
        if (!m_enabled) {
            m_started = 0;
            m_crowbar = false; // disabling resets a tripped crowbar
        }
    });
    {
        Command c;
        c.query = [this] { return formatInteger(m_started); };
        c.set = [this](std::string_view text) -> std::string {
            std::int32_t start = 0;
            if (auto err = assignInteger(text, 0, 1, start); err != "OK")
                return err;
            if (start == 1 && !m_enabled)
                return "ERR not enabled";
            if (start == 1 && fault())
                return "ERR fault";
            m_started = start;
            return "OK";
        };
        m_commands.emplace("ST", std::move(c));
    }

    // Extended variant settings.
    addNumber(
        "QD", &m_qswDelay, 7, -0.0061, [] { return 0.0061; }, true);
    addInteger("QE", &m_qswEnable, 0, 1, true);
    addInteger("ET", &m_extTrigger, 0, 8, true);
    addInteger("SY", &m_sync, 0, 3, true);
    addNumber(
        "AO", &m_analogOut, 3, 0.0, [] { return 10.0; }, true);

    // Status and measurements.
    addReading(
        "SS", [this] { return formatInteger(statusWord()); }, false);
    addReading(
        "CM",
        [this] {
            if (!m_started)
                return formatFixed(0.0, 3);
            const double c = m_op.current;
            return formatFixed(std::max(0.0, c + noise(0.002 * c + 0.01)), 3);
        },
        false);
    addReading(
        "VM",
        [this] {
            if (!m_started)
                return formatFixed(0.0, 3);
            const double v = std::min(loadVoltage(m_op.current) + noise(0.01), m_compliance);
            return formatFixed(std::max(0.0, v), 3);
        },
        false);
    addReading(
        "AT", [this] { return formatInteger(std::lround(m_temperature)); }, true);
    addReading(
        "BT",
        [this] { return formatInteger(std::lround(Ambient + 0.6 * (m_temperature - Ambient))); },
        true);
    addReading(
        "PD",
        [this] {
            if (!m_started)
                return formatFixed(0.0, 4);
            return formatFixed(std::max(0.0, 0.02 * m_op.current + noise(0.001)), 4);
        },
        true);
    // The spare analog input is wired back to the spare analog output.
    addReading(
        "AI", [this] { return formatFixed(std::max(0.0, m_analogOut + noise(0.005)), 3); }, true);
    addReading(
        "I1", [this] { return formatInteger(m_enabled); }, true);
    addReading(
        "I2", [this] { return formatInteger(m_started); }, true);
    addReading(
        "I3", [this] { return formatInteger(m_overTemp ? 1 : 0); }, true);
}

bool Unit::fault() const
{
    return m_crowbar || (m_overTemp && !m_tempBypass);
}

std::uint32_t Unit::statusWord() const
{
    std::uint32_t w = 0;
    if (m_enabled)
        w |= Enabled;
    if (m_started)
        w |= Active;
    if (m_enabled && !fault())
        w |= Ready;
    if (fault())
        w |= Fault;
    if (m_interlock)
        w |= InterlockControl;
    if (m_overTemp)
        w |= OverTemp;
    if (m_crowbar)
        w |= Crowbar;
    if (m_id.config == 1 && m_extTrigger != 0)
        w |= ExtTrigger;
    if (m_id.config == 1 && m_qswEnable == 1)
        w |= QSwitch;
    return w;
}

double Unit::steadyTemperature() const
{
    return m_started ? Ambient + HeatPerAmp2 * m_op.current * m_op.current : Ambient;
}

// The temperature approaches its steady value exponentially. When it reaches the trip
// point while pulsing without bypass, pulsing stops at that moment and the rest of the
// interval is spent cooling.
void Unit::advance(double now)
{
    if (!m_timeKnown) {
        m_timeKnown = true;
        m_lastTime = now;
        return;
    }
    double dt = std::max(0.0, now - m_lastTime);
    m_lastTime = std::max(m_lastTime, now);
    const double tau = std::max(m_id.thermalTau, 1e-6);
    for (;;) {
        const double target = steadyTemperature();
        if (m_started && !m_tempBypass && target > TripTemp && m_temperature < TripTemp) {
            const double toTrip = tau * std::log((target - m_temperature) / (target - TripTemp));
            if (toTrip <= dt) {
                m_temperature = TripTemp;
                m_overTemp = true;
                m_started = 0;
                dt -= toTrip;
                continue;
            }
        }
        m_temperature = target + (m_temperature - target) * std::exp(-dt / tau);
        if (m_temperature >= TripTemp)
            m_overTemp = true;
        else if (m_temperature < ClearTemp)
            m_overTemp = false;
        break;
    }
    enforce();
}

void Unit::enforce()
{
    if (!m_started)
        return;
    if (!m_enabled || fault()) {
        m_started = 0;
    } else if (loadVoltage(m_op.current) > m_compliance + Epsilon) {
        // The load needs more than the compliance voltage: the crowbar fires.
        m_crowbar = true;
        m_started = 0;
    }
}

double Unit::noise(double amplitude)
{
    return m_id.noise ? amplitude * m_unit(m_rng) : 0.0;
}

} // namespace sim
