// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessible>

#include <functional>

// The one way MERO's own widgets announce a change to assistive technology. By default an
// event goes to QAccessible::updateAccessibility, which drops it while no client listens;
// a test installs a sink of its own to see the events without a desktop bus.
namespace AccessibleEvents
{
using Sink = std::function<void(QAccessibleEvent*)>;

void Send(QAccessibleEvent& event);
// Replaces the sink (an empty one restores the default); returns the previous one.
Sink Install(Sink sink);

// A state-changed event for the states set in `changed`.
void SendStateChange(QObject* object, QAccessible::State changed);
} // namespace AccessibleEvents
