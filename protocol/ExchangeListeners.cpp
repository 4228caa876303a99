// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExchangeListeners.h"

#include <QDebug>

#include <algorithm>
#include <exception>
#include <vector>

namespace
{

struct TRegistry {
    // Unregistered entries are nulled while listeners are being told and
    // removed once nobody is.
    std::vector<IExchangeListener*> listeners;
    int notifying = 0;
    bool holes = false;

    void Compact()
    {
        if (notifying > 0 || !holes)
            return;
        listeners.erase(std::remove(listeners.begin(), listeners.end(), nullptr), listeners.end());
        holes = false;
    }
};

TRegistry& Registry()
{
    static TRegistry registry;
    return registry;
}

} // namespace

TExchangeListening::TExchangeListening(IExchangeListener& listener) : fListener(&listener)
{
    Registry().listeners.push_back(fListener);
}

TExchangeListening::~TExchangeListening()
{
    TRegistry& r = Registry();
    const auto it = std::find(r.listeners.begin(), r.listeners.end(), fListener);
    if (it == r.listeners.end())
        return;
    *it = nullptr;
    r.holes = true;
    r.Compact();
}

void NotifyExchange(const TExchangeRecord& record)
{
    TRegistry& r = Registry();
    ++r.notifying;
    // Those registered from here on hear the next exchange, not this one.
    const size_t count = r.listeners.size();
    for (size_t i = 0; i < count; ++i) {
        IExchangeListener* listener = r.listeners[i];
        if (!listener)
            continue;
        try {
            listener->Exchanged(record);
        } catch (const std::exception& e) {
            qWarning("An exchange listener failed: %s", e.what());
        } catch (...) {
            qWarning("An exchange listener failed");
        }
    }
    --r.notifying;
    r.Compact();
}

bool ExchangeListened()
{
    const TRegistry& r = Registry();
    return std::any_of(r.listeners.begin(), r.listeners.end(),
                       [](const IExchangeListener* l) { return l != nullptr; });
}
