// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibleevents.h"

namespace
{
AccessibleEvents::Sink& CurrentSink()
{
    static AccessibleEvents::Sink sink;
    return sink;
}
} // namespace

namespace AccessibleEvents
{

void Send(QAccessibleEvent& event)
{
    if (const Sink& sink = CurrentSink())
        sink(&event);
    else
        QAccessible::updateAccessibility(&event);
}

Sink Install(Sink sink)
{
    Sink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

void SendStateChange(QObject* object, QAccessible::State changed)
{
    QAccessibleStateChangeEvent event(object, changed);
    Send(event);
}

} // namespace AccessibleEvents
