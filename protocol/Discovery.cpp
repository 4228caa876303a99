#include "Discovery.h"

#include "AppState.h"
#include "Communication.h"
#include "KxComPort.h"

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
    TKxComPort* port = CurrentCommLink().Port;
    if (!port)
        return false;
    port->SetBaud(ScanBaud);
    port->SetEndOfResponse("#13");
    port->SetAllowEvents(false);
    port->SetShowErrors(false);
    port->SetResponseTime(ScanResponseTimeMs);

    for (int n = FirstPort; n <= LastPort; ++n) {
        port->SetPort(n);
        if (!port->Open()) {
            port->Close();
            continue;
        }
        std::this_thread::sleep_for(SettlePause);
        if (QueryText("ID").isEmpty()) {
            port->Close();
            continue;
        }
        ParseIDN();
        if (IsAcceptedModel(LinkState().ModelName)) {
            if (IResponseEcho* echo = CurrentCommLink().Echo)
                echo->Clear();
            return true;
        }
        port->Close();
    }
    return false;
}
