// SPDX-License-Identifier: GPL-3.0-or-later
#include "LampAccessible.h"

#include "LampWidget.h"
#include "accessibleevents.h"

TLampAccessible::TLampAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Indicator) {}

const TLamp* TLampAccessible::lamp() const
{
    return static_cast<const TLamp*>(widget());
}

QString TLampAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Description || t == QAccessible::Value)
        return lamp()->isLit() ? QStringLiteral("on") : QStringLiteral("off");
    return QAccessibleWidget::text(t);
}

QAccessible::State TLampAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.checked = lamp()->isLit();
    return s;
}

namespace LampAccessibility
{

QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TLamp") && object && object->isWidgetType())
        return new TLampAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

void Attach(TLamp* lamp)
{
    // Qt keeps one entry per factory however often it is installed.
    QAccessible::installFactory(&Factory);

    QObject::connect(lamp, &TLamp::litChanged, lamp, [lamp] {
        QAccessible::State changed;
        changed.checked = true;
        AccessibleEvents::SendStateChange(lamp, changed);
        QAccessibleEvent description(lamp, QAccessible::DescriptionChanged);
        AccessibleEvents::Send(description);
    });
}

} // namespace LampAccessibility
