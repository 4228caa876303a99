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

namespace
{

// The scan's settings on the bound port; null without one.
TKxComPort* ScanPort()
{
    TKxComPort* port = CurrentCommLink().Port;
    if (!port)
        return nullptr;
    port->SetBaud(ScanBaud);
    port->SetEndOfResponse("#13");
    port->SetAllowEvents(false);
    port->SetShowErrors(false);
    port->SetResponseTime(ScanResponseTimeMs);
    return port;
}

// Opens port n and asks who is there; true when an accepted unit answered,
// the port then left open. Anything else closes it again.
bool Probe(TKxComPort& port, int n, TScanReport* report)
{
    const auto record = [&](TScanOutcome o) {
        if (report)
            report->outcomes.append(std::move(o));
    };
    port.SetPort(n);
    if (!port.Open()) {
        if (report)
            record(OpenFailure(port));
        port.Close();
        return false;
    }
    const bool setupFailed = port.LastSetupFailed();
    std::this_thread::sleep_for(SettlePause);
    const QByteArray reply = QueryText("ID");
    if (reply.isEmpty()) {
        record({n, setupFailed ? TScanResult::SetupFailed : TScanResult::NoReply, 0, {}, {}, {}});
        port.Close();
        return false;
    }
    ParseIDN();
    if (IsAcceptedModel(LinkState().ModelName)) {
        record({n, TScanResult::Accepted, 0, reply, {}, LinkState().ModelName});
        return true;
    }
    record({n, TScanResult::NotAccepted, 0, reply, {}, LinkState().ModelName});
    port.Close();
    return false;
}

void StartReport(TScanReport* report)
{
    if (report) {
        report->outcomes.clear();
        report->waitMs = ScanResponseTimeMs;
    }
}

void ClearEcho()
{
    if (IResponseEcho* echo = CurrentCommLink().Echo)
        echo->Clear();
}

} // namespace

bool DetectDevice(TScanReport* report)
{
    StartReport(report);
    TKxComPort* port = ScanPort();
    if (!port)
        return false;
    const TOriginScope origin({orScan, 0, {}});
    for (int n = FirstPort; n <= LastPort; ++n) {
        if (Probe(*port, n, report)) {
            ClearEcho();
            return true;
        }
    }
    return false;
}

bool TLostUnit::Matches(int port, const TIdentity& found) const
{
    if (!IdentityKnown())
        return port == Port;
    return found.ModelName == ModelName && found.SerialNumber == SerialNumber;
}

TReconnect FindLostUnit(const TLostUnit& lost, TScanReport* report)
{
    StartReport(report);
    TReconnect result;
    TKxComPort* port = ScanPort();
    if (!port)
        return result;
    const TOriginScope origin({orScan, 0, {}});
    // Its own port first, then the others in the scan's order.
    QList<int> order;
    if (lost.Port >= FirstPort && lost.Port <= LastPort)
        order << lost.Port;
    for (int n = FirstPort; n <= LastPort; ++n)
        if (n != lost.Port)
            order << n;
    for (const int n : order) {
        if (!Probe(*port, n, report))
            continue;
        const TIdentity found = IdentityOf(LinkState());
        if (lost.Matches(n, found)) {
            ClearEcho();
            result.Found = TReconnect::SameUnit;
            result.Port = n;
            result.Identity = found;
            return result;
        }
        if (result.Found == TReconnect::Nothing) {
            result.Found = TReconnect::OtherUnit;
            result.Port = n;
            result.Identity = found;
        }
        port->Close();
    }
    // The identity fields hold the other unit's, as the scan of it left them.
    if (result.Found == TReconnect::OtherUnit)
        StoreIdentity(LinkState(), result.Identity);
    port->SetPort(LastPort);
    return result;
}
