// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnitSettings.h"

#include "Communication.h"

#include <QElapsedTimer>

#include <algorithm>

namespace
{

// One query of the read-back; false when the read-back must stop.
class TReader
{
public:
    TReader() : fStart(LinkDisturbances()) { fSince.start(); }

    template <typename T> bool Int(const char* mnemonic, T& field)
    {
        return Take(ReadInteger(mnemonic), field);
    }
    template <typename T> bool Float(const char* mnemonic, T& field)
    {
        return Take(ReadFloat(mnemonic), field);
    }
    TSettingsRead Outcome() const
    {
        if (LinkFailed())
            return srLinkLost;
        return LinkDisturbances() == fStart ? srRead : srDisturbed;
    }

    // A reply displaced by one comes about one reply time after the last
    // read: three times the slowest seen, between 20 and 100 ms.
    int FinalQuietMs() const { return int(std::clamp<qint64>(3 * fSlowestMs, 20, 100)); }

private:
    template <typename T> bool Take(const TReading& r, T& field)
    {
        fSlowestMs = std::max(fSlowestMs, fSince.restart());
        field = T(r.Value);
        return Outcome() == srRead;
    }

    quint64 fStart;
    QElapsedTimer fSince;
    qint64 fSlowestMs = 0;
};

} // namespace

TSettingsRead ReadUnitSettings(TUnitSettings& s)
{
    TReader r;
    const bool read =
        r.Int("CFG", s.ConfigCode) &&
        (s.ConfigCode != 1 || (r.Float("QD", s.QSwitchDelay) && r.Int("QE", s.QSwitchEnable) &&
                               r.Int("ET", s.ExtTrigger) && r.Int("SY", s.SyncSetting) &&
                               r.Float("AO", s.SpareAnalogOut))) &&
        r.Int("MC", s.MaxCurrent) && r.Int("MR", s.MaxRate) && r.Float("CS", s.CurrentSetting) &&
        r.Float("RR", s.RepRate) && r.Float("PW", s.PulseWidth) &&
        r.Float("CV", s.ComplianceVoltage) && r.Int("RC", s.StorageBin) &&
        r.Int("TB", s.TempFaultBypass) && r.Int("IC", s.InterlockBypass) &&
        r.Int("PE", s.PulseEnable) && r.Int("EN", s.DriverEnabled) &&
        r.Int("ST", s.DriverStarted) && r.Int("BC", s.BurstCount) && r.Int("PM", s.PulseMode) &&
        r.Int("IC", s.InterlockControl) && r.Int("BDG", s.BadgeNumber);
    if (read)
        ConfirmQuietLine(r.FinalQuietMs());
    return r.Outcome();
}
