// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

class TLamp;

// A status lamp as assistive technology sees it: an indicator named after its label (the
// buddy label's text, or an accessible name of its own) whose checked state is the lamp's,
// with "on" or "off" as its description. Every change of the lamp sends a state-changed
// (checked) and a description-changed event, so a screen reader can announce it.
class TLampAccessible : public QAccessibleWidget
{
public:
    explicit TLampAccessible(QWidget* w);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override { return {}; }

private:
    const TLamp* lamp() const;
};

namespace LampAccessibility
{
// Installs the factory (once per process) and announces the lamp's changes. Called by every
// lamp's constructor.
void Attach(TLamp* lamp);

QAccessibleInterface* Factory(const QString& className, QObject* object);
} // namespace LampAccessibility
