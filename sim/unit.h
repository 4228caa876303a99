// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual laser-diode driver: identity, settings with their ranges, storage bins,
// enable/start, status word, a thermal model and measurements. It is pure logic: it is
// given one received line (line end already removed) and the time of arrival and returns
// the reply text without its line end. Time only moves forward through handle().

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <string_view>

namespace sim
{

struct UnitOptions {
    std::string company = "MERO Virtual Unit";
    std::string model = "2740";
    std::int32_t serial = 10001;
    std::string firmware = "1.0.0";
    std::int32_t config = 0;
    double thermalTau = 20.0; // seconds to close 63 % of the gap to the steady temperature
    bool noise = true;
    std::uint64_t seed = 1;
};

// A received line split into its parts; `error` is set when it is not a command at all.
struct ParsedLine {
    enum class Kind { Bad, Query, Set } kind = Kind::Bad;
    std::string mnemonic; // upper case
    std::string value;    // for Set, blanks around it removed
    std::string error;    // for Bad, the whole reply
};

ParsedLine parseLine(std::string_view line);

class Unit
{
public:
    explicit Unit(const UnitOptions& options);
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // Carries out one line received at `now` (seconds on a monotonic clock).
    std::string handle(std::string_view line, double now);

    // Bit masks of the status word.
    enum StatusBit : std::uint32_t {
        Enabled = 0x001,
        Active = 0x002,
        Ready = 0x004,
        Fault = 0x008,
        InterlockControl = 0x010,
        OverTemp = 0x020,
        Crowbar = 0x040,
        ExtTrigger = 0x100,
        QSwitch = 0x200,
    };

private:
    struct Command {
        std::function<std::string()> query;               // empty: no query form
        std::function<std::string(std::string_view)> set; // empty: read only
        bool extended = false;                            // configuration code 1 only
    };
    struct Operating {
        double current = 0.0;
        double rate = 10.0;
        double width = 0.00001;
        std::int32_t burst = 1;
        std::int32_t mode = 1;
    };

    void addNumber(const char* name, double* field, int decimals, double lo,
                   std::function<double()> hi, bool extended = false);
    void addInteger(const char* name, std::int32_t* field, std::int32_t lo, std::int32_t hi,
                    bool extended = false, std::function<void()> after = {});
    void addReading(const char* name, std::function<std::string()> query, bool extended);
    void buildCommands();

    void advance(double now);
    void enforce();
    bool fault() const;
    std::uint32_t statusWord() const;
    double steadyTemperature() const;
    double loadVoltage(double current) const { return 1.5 + 0.1 * current; }
    double noise(double amplitude);

    UnitOptions m_id;
    std::map<std::string, Command, std::less<>> m_commands;
    std::mt19937_64 m_rng;
    std::uniform_real_distribution<double> m_unit{-1.0, 1.0};

    Operating m_op;
    Operating m_bins[5];
    std::int32_t m_bin = 1;
    std::int32_t m_maxCurrent = 50;
    std::int32_t m_maxRate = 10000;
    double m_compliance = 12.0;
    std::int32_t m_tempBypass = 0;
    std::int32_t m_interlock = 0;
    std::int32_t m_pulseEnableSent = 0;
    std::int32_t m_enabled = 0;
    std::int32_t m_started = 0;
    std::int32_t m_badge = 0;
    double m_qswDelay = 0.0;
    std::int32_t m_qswEnable = 0;
    std::int32_t m_extTrigger = 0;
    std::int32_t m_sync = 0;
    double m_analogOut = 0.0;

    bool m_crowbar = false;
    bool m_overTemp = false;
    double m_temperature;
    double m_lastTime = 0.0;
    bool m_timeKnown = false;
};

} // namespace sim
