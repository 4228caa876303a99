// SPDX-License-Identifier: GPL-3.0-or-later
#include "Discovery.h"

#include "AppState.h"
#include "Communication.h"
#include "KxComPort.h"
#include "PortProblem.h"

#include <chrono>
#include <thread>

namespace
{

constexpr int FirstPort = 1;
constexpr int LastPort = 100;
constexpr int ScanBaud = 115200;
constexpr quint32 ScanResponseTimeMs = 100;
// Gives a unit that was just opened time to settle before the first query.
constexpr auto SettlePause = std::chrono::milliseconds(100);

AppState& LinkState()
{
    const CommLink link = CurrentCommLink();
    return link.State ? *link.State : appState();
}

} // namespace

TIdentity IdentityOf(const AppState& state)
{
    return {state.CompanyName, state.ModelName, state.SerialNumber, state.FirmwareVersion};
}

void StoreIdentity(AppState& state, const TIdentity& identity)
{
    state.CompanyName = identity.CompanyName;
    state.ModelName = identity.ModelName;
    state.SerialNumber = identity.SerialNumber;
    state.FirmwareVersion = identity.FirmwareVersion;
}

void ParseIDN()
{
    const QByteArray reply = QueryText("ID");
    AppState& state = LinkState();
    TIdentity identity = IdentityOf(state);
    ParseIdentity(reply, identity);
    StoreIdentity(state, identity);
}

bool DetectDevice()
{
    return DetectDevice(nullptr);
}

namespace
{

TScanOutcome OpenFailure(const TKxComPort& port)
{
    TScanOutcome o;
    o.port = port.Port();
    o.error = port.LastOpenError();
    switch (ClassifyOpenError(o.error)) {
    case TOpenProblem::None:
    case TOpenProblem::NoDevice:
        o.result = TScanResult::NoDevice;
        break;
    case TOpenProblem::PermissionDenied:
        o.result = TScanResult::PermissionDenied;
        break;
    case TOpenProblem::Busy:
        o.result = TScanResult::Busy;
        // Now, while the holder still holds it.
        o.holders = HoldersText(FindPortHolders(TKxComPort::DevicePath(o.port)));
        break;
    case TOpenProblem::Other:
        o.result = TScanResult::OpenFailed;
        break;
    }
    return o;
}

} // namespace

bool DetectDevice(TScanReport* report)
{
    TScanReport unused;
    TScanReport& r = report ? *report : unused;
    r.outcomes.clear();
    r.waitMs = ScanResponseTimeMs;
    const auto record = [&](TScanOutcome o) {
        if (report)
            r.outcomes.append(std::move(o));
    };
    TKxComPort* port = CurrentCommLink().Port;
    if (!port)
        return false;
    const TOriginScope origin({orScan, 0, {}});
    port->SetBaud(ScanBaud);
    port->SetEndOfResponse("#13");
    port->SetAllowEvents(false);
    port->SetShowErrors(false);
    port->SetResponseTime(ScanResponseTimeMs);

    for (int n = FirstPort; n <= LastPort; ++n) {
        port->SetPort(n);
        if (!port->Open()) {
            if (report)
                record(OpenFailure(*port));
            port->Close();
            continue;
        }
        const bool setupFailed = port->LastSetupFailed();
        std::this_thread::sleep_for(SettlePause);
        const QByteArray reply = QueryText("ID");
        if (reply.isEmpty()) {
            record(
                {n, setupFailed ? TScanResult::SetupFailed : TScanResult::NoReply, 0, {}, {}, {}});
            port->Close();
            continue;
        }
        ParseIDN();
        if (IsAcceptedModel(LinkState().ModelName)) {
            record({n, TScanResult::Accepted, 0, reply, {}, LinkState().ModelName});
            if (IResponseEcho* echo = CurrentCommLink().Echo)
                echo->Clear();
            return true;
        }
        record({n, TScanResult::NotAccepted, 0, reply, {}, LinkState().ModelName});
        port->Close();
    }
    return false;
}
