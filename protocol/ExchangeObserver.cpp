// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExchangeObserver.h"

namespace
{
IExchangeObserver* installed = nullptr;
}

IExchangeObserver* InstallExchangeObserver(IExchangeObserver* observer)
{
    IExchangeObserver* previous = installed;
    installed = observer;
    return previous;
}

IExchangeObserver* ExchangeObserver()
{
    return installed;
}
