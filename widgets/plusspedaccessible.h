// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

class QWidget;
class TPlusSpinEdit;
class TSpinArrowButton;

// How assistive technology (screen readers, GUI automation over AT-SPI) sees and drives the
// spin edit, the way Qt exposes its own spin box.
//
// - Role SpinBox; the name is the accessible name, else the buddy label's text; the value
//   text is the text as drawn.
// - Value interface: the value, the limits as the control enforces them (equal limits do
//   not limit: the whole range of a double; crossed limits: the lower and the higher of the
//   two) and, as the smallest step, the step of the selected digit.
// - setCurrentValue and the actions "Increase"/"Decrease" take the control's own paths:
//   AssignValue (limits, OnChange and with it the command) and one step of the selected
//   digit as an arrow click makes it. While the control's own Enabled is false (a
//   read-back) it reports itself disabled and, like its keys and arrows, ignores them.
// - The arrow buttons are push buttons named "Increase" and "Decrease"; pressing one steps
//   the control like the action of the same name.
class TPlusSpinEditAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit TPlusSpinEditAccessible(QWidget* w);

    void* interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    TPlusSpinEdit* spin() const;
};

class TSpinArrowAccessible : public QAccessibleWidget
{
public:
    explicit TSpinArrowAccessible(QWidget* w);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

private:
    bool IsUp() const;
    TPlusSpinEdit* spin() const;
};

namespace PlusSpinEditAccessibility
{
// Installs the factory (once per process) and connects the control's notifications to the
// accessibility events a screen reader listens for: value changed, and state changed when
// its own Enabled flips. Called by every control's constructor.
void Attach(TPlusSpinEdit* spin);

// The factory passed to QAccessible::installFactory.
QAccessibleInterface* Factory(const QString& className, QObject* object);
} // namespace PlusSpinEditAccessibility
