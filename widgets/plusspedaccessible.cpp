// SPDX-License-Identifier: GPL-3.0-or-later
#include "plusspedaccessible.h"

#include "accessibleevents.h"
#include "plussped.h"
#include "spinarrowbutton.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

// A client may only do what the operator's keys could: nothing while the control's own
// Enabled is false (a read-back runs) or the widget is disabled.
bool Operable(const TPlusSpinEdit* s)
{
    return s->Enabled() && s->isEnabled();
}

} // namespace

// ---- the control --------------------------------------------------------------------------

TPlusSpinEditAccessible::TPlusSpinEditAccessible(QWidget* w)
    : QAccessibleWidget(w, QAccessible::SpinBox)
{
}

TPlusSpinEdit* TPlusSpinEditAccessible::spin() const
{
    return static_cast<TPlusSpinEdit*>(widget());
}

void* TPlusSpinEditAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString TPlusSpinEditAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return spin()->ShownText();
    return QAccessibleWidget::text(t);
}

QAccessible::State TPlusSpinEditAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    // Greyed by its own flag, the widget itself stays enabled (and focusable by Tab).
    if (!spin()->Enabled())
        s.disabled = true;
    return s;
}

QVariant TPlusSpinEditAccessible::currentValue() const
{
    return spin()->Value();
}

void TPlusSpinEditAccessible::setCurrentValue(const QVariant& value)
{
    TPlusSpinEdit* s = spin();
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !Operable(s))
        return;
    // The control's own write: limits, OnChange and so the command to the unit.
    s->AssignValue(v);
}

QVariant TPlusSpinEditAccessible::maximumValue() const
{
    const TPlusSpinEdit* s = spin();
    if (s->MinValue() == s->MaxValue())
        return std::numeric_limits<double>::max();
    // Crossed limits hold every value to one of the two.
    return std::max(s->MinValue(), s->MaxValue());
}

QVariant TPlusSpinEditAccessible::minimumValue() const
{
    const TPlusSpinEdit* s = spin();
    if (s->MinValue() == s->MaxValue())
        return std::numeric_limits<double>::lowest();
    return std::min(s->MinValue(), s->MaxValue());
}

QVariant TPlusSpinEditAccessible::minimumStepSize() const
{
    return spin()->Increment();
}

QStringList TPlusSpinEditAccessible::actionNames() const
{
    return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
}

void TPlusSpinEditAccessible::doAction(const QString& actionName)
{
    // One step of the selected digit, as the first step of an arrow press takes it; the
    // control itself ignores it while its own Enabled is false.
    if (actionName == increaseAction())
        spin()->SpinUp(nullptr);
    else if (actionName == decreaseAction())
        spin()->SpinDown(nullptr);
    else
        QAccessibleWidget::doAction(actionName);
}

QStringList TPlusSpinEditAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == increaseAction())
        return {QStringLiteral("Up")};
    if (actionName == decreaseAction())
        return {QStringLiteral("Down")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

// ---- its arrow buttons --------------------------------------------------------------------

TSpinArrowAccessible::TSpinArrowAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Button)
{
}

TPlusSpinEdit* TSpinArrowAccessible::spin() const
{
    return qobject_cast<TPlusSpinEdit*>(widget()->parentWidget());
}

bool TSpinArrowAccessible::IsUp() const
{
    const TPlusSpinEdit* s = spin();
    return s && s->UpButton() == widget();
}

QString TSpinArrowAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
        return IsUp() ? QStringLiteral("Increase") : QStringLiteral("Decrease");
    return QAccessibleWidget::text(t);
}

QAccessible::State TSpinArrowAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    const TPlusSpinEdit* edit = spin();
    if (edit && !edit->Enabled())
        s.disabled = true;
    if (static_cast<const QAbstractButton*>(widget())->isDown())
        s.pressed = true;
    return s;
}

QStringList TSpinArrowAccessible::actionNames() const
{
    return {pressAction()};
}

void TSpinArrowAccessible::doAction(const QString& actionName)
{
    TPlusSpinEdit* s = spin();
    if (actionName != pressAction() || !s)
        return;
    if (IsUp())
        s->SpinUp(nullptr);
    else
        s->SpinDown(nullptr);
}

// ---- factory and events -------------------------------------------------------------------

namespace PlusSpinEditAccessibility
{

QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* w = static_cast<QWidget*>(object);
    if (className == QLatin1String("TPlusSpinEdit"))
        return new TPlusSpinEditAccessible(w);
    if (className == QLatin1String("TSpinArrowButton") &&
        qobject_cast<TPlusSpinEdit*>(w->parentWidget()))
        return new TSpinArrowAccessible(w);
    return nullptr;
}

void Attach(TPlusSpinEdit* spin)
{
    // Qt keeps one entry per factory however often it is installed.
    QAccessible::installFactory(&Factory);

    QObject::connect(spin, &TPlusSpinEdit::ValueChanged, spin, [spin](double value) {
        QAccessibleValueChangeEvent event(spin, value);
        AccessibleEvents::Send(event);
    });
    QObject::connect(spin, &TPlusSpinEdit::EnabledChanged, spin, [spin] {
        QAccessible::State changed;
        changed.disabled = true;
        AccessibleEvents::SendStateChange(spin, changed);
    });
}

} // namespace PlusSpinEditAccessibility
