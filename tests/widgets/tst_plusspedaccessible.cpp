// SPDX-License-Identifier: GPL-3.0-or-later
// The spin edit as assistive technology sees it, through QAccessible directly (no bus):
// role, names, value interface, actions and the events a screen reader listens for.
#include "accessibleevents.h"
#include "plussped.h"
#include "spinarrowbutton.h"

#include <QAccessible>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include <limits>
#include <memory>

namespace
{

struct SeenEvent {
    QAccessible::Event type;
    QObject* object;
    QVariant value;
    QAccessible::State changed;
};
QList<SeenEvent> seen;

void Record(QAccessibleEvent* event)
{
    SeenEvent e{event->type(), event->object(), {}, {}};
    if (event->type() == QAccessible::ValueChanged)
        e.value = static_cast<QAccessibleValueChangeEvent*>(event)->value();
    if (event->type() == QAccessible::StateChanged)
        e.changed = static_cast<QAccessibleStateChangeEvent*>(event)->changedStates();
    seen << e;
}

QList<double> ValueEvents(QObject* of)
{
    QList<double> values;
    for (const SeenEvent& e : seen)
        if (e.type == QAccessible::ValueChanged && e.object == of)
            values << e.value.toDouble();
    return values;
}

constexpr double Lowest = std::numeric_limits<double>::lowest();
constexpr double Highest = std::numeric_limits<double>::max();

} // namespace

class TestPlusSpinEditAccessible : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    QLabel* caption = nullptr;
    TPlusSpinEdit* spin = nullptr;

    QAccessibleInterface* Iface(QObject* o = nullptr) const
    {
        return QAccessible::queryAccessibleInterface(o ? o : spin);
    }
    QAccessibleValueInterface* Value() const { return Iface()->valueInterface(); }
    QAccessibleActionInterface* Actions(QObject* o = nullptr) const
    {
        return Iface(o)->actionInterface();
    }

private Q_SLOTS:
    void initTestCase() { AccessibleEvents::Install(&Record); }
    void cleanupTestCase() { AccessibleEvents::Install({}); }
    void init();
    void cleanup()
    {
        window.reset();
        seen.clear();
    }

    void roleNameAndChildren();
    void values_data();
    void values();
    void setCurrentValue_data();
    void setCurrentValue();
    void actions_data();
    void actions();
    void states();
    void events();
    void burstOfIncreasesStepsLikeTheKeys();
};

void TestPlusSpinEditAccessible::init()
{
    window = std::make_unique<QWidget>();
    window->resize(300, 120);
    caption = new QLabel(QStringLiteral("Current Setting (A)"), window.get());
    caption->setGeometry(10, 10, 180, 14);
    spin = new TPlusSpinEdit(window.get());
    spin->SetBounds(10, 30, 120, 21);
    caption->setBuddy(spin);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    seen.clear();
}

void TestPlusSpinEditAccessible::roleNameAndChildren()
{
    QAccessibleInterface* i = Iface();
    QVERIFY(i && i->isValid());
    QCOMPARE(i->role(), QAccessible::SpinBox);
    QCOMPARE(i->text(QAccessible::Name), QStringLiteral("Current Setting (A)"));
    QVERIFY(i->valueInterface());
    QVERIFY(i->actionInterface());

    // The label names it, and says so as a relation.
    bool labelled = false;
    for (const auto& r : i->relations(QAccessible::Label))
        labelled = labelled || r.first->object() == caption;
    QVERIFY(labelled);

    QCOMPARE(i->childCount(), 2);
    QStringList names;
    for (int c = 0; c < i->childCount(); ++c) {
        QAccessibleInterface* child = i->child(c);
        QCOMPARE(child->role(), QAccessible::Button);
        names << child->text(QAccessible::Name);
    }
    names.sort();
    QCOMPARE(names, (QStringList{"Decrease", "Increase"}));
    QCOMPARE(Iface(spin->UpButton())->text(QAccessible::Name), QStringLiteral("Increase"));
    QCOMPARE(Iface(spin->DownButton())->text(QAccessible::Name), QStringLiteral("Decrease"));

    // An explicit accessible name wins over the label.
    spin->setAccessibleName(QStringLiteral("Set current"));
    QCOMPARE(i->text(QAccessible::Name), QStringLiteral("Set current"));
}

void TestPlusSpinEditAccessible::values_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<double>("increment");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("written");
    QTest::addColumn<int>("digit"); // selected afterwards; 99 keeps the increment's digit
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    QTest::addColumn<double>("step");

    QTest::newRow("current setting")
        << 2 << "" << 0.01 << 0.0 << 40.0 << 12.5 << 99 << "12.50" << 12.5 << 0.0 << 40.0 << 0.01;
    QTest::newRow("tens digit selected")
        << 2 << "" << 0.01 << 0.0 << 40.0 << 12.5 << 1 << "12.50" << 12.5 << 0.0 << 40.0 << 10.0;
    QTest::newRow("equal limits do not limit")
        << 0 << "" << 1.0 << 0.0 << 0.0 << -7.0 << 99 << "-7" << -7.0 << Lowest << Highest << 1.0;
    QTest::newRow("crossed limits")
        << 1 << "" << 0.1 << 0.1 << 0.0 << 0.05 << 99 << "0.1" << 0.1 << 0.0 << 0.1 << 0.1;
    QTest::newRow("grouped text") << 7 << "," << 1e-7 << 0.0 << 0.0 << 0.0000123 << 99
                                  << "0.000,012,3" << 0.0000123 << Lowest << Highest << 1e-7;
    QTest::newRow("written step is the smallest")
        << 7 << "," << 2e-7 << -0.0061 << 0.0061 << -0.001 << 99 << "-0.001,000,0" << -0.001
        << -0.0061 << 0.0061 << 2e-7;
    QTest::newRow("placeholder shown as 0")
        << 0 << "" << 1.0 << 0.0 << 0.0 << 5.0 << 2 << "005" << 5.0 << Lowest << Highest << 100.0;
}

void TestPlusSpinEditAccessible::values()
{
    QFETCH(int, decimals);
    QFETCH(QString, separator);
    QFETCH(double, increment);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, written);
    QFETCH(int, digit);
    spin->SetDecimals(decimals);
    spin->SetThousandSeparator(separator);
    spin->SetIncrement(increment);
    spin->SetMinValue(minimum);
    spin->SetMaxValue(maximum);
    spin->AssignValue(written);
    if (digit != 99)
        spin->SelectDigit(digit);

    QTEST(Iface()->text(QAccessible::Value), "text");
    QTEST(Value()->currentValue().toDouble(), "value");
    QTEST(Value()->minimumValue().toDouble(), "lowest");
    QTEST(Value()->maximumValue().toDouble(), "highest");
    QTEST(Value()->minimumStepSize().toDouble(), "step");
}

void TestPlusSpinEditAccessible::setCurrentValue_data()
{
    QTest::addColumn<QVariant>("set");
    QTest::addColumn<bool>("ownEnabled");
    QTest::addColumn<double>("expected");
    QTest::addColumn<int>("changes");

    // Limits 0..40, value 12.5 before each row.
    QTest::newRow("inside the limits") << QVariant(20.25) << true << 20.25 << 1;
    QTest::newRow("above the maximum is clamped") << QVariant(99.0) << true << 40.0 << 1;
    QTest::newRow("below the minimum is clamped") << QVariant(-5.0) << true << 0.0 << 1;
    QTest::newRow("the same value fires nothing") << QVariant(12.5) << true << 12.5 << 0;
    QTest::newRow("a number as text") << QVariant(QStringLiteral("3.5")) << true << 3.5 << 1;
    QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << true << 12.5 << 0;
    QTest::newRow("NaN") << QVariant(std::numeric_limits<double>::quiet_NaN()) << true << 12.5 << 0;
    QTest::newRow("infinity") << QVariant(std::numeric_limits<double>::infinity()) << true << 12.5
                              << 0;
    QTest::newRow("own Enabled false (read-back)") << QVariant(20.0) << false << 12.5 << 0;
}

void TestPlusSpinEditAccessible::setCurrentValue()
{
    QFETCH(QVariant, set);
    QFETCH(bool, ownEnabled);
    QFETCH(double, expected);
    QFETCH(int, changes);
    spin->SetMaxValue(40);
    spin->AssignValue(12.5);
    spin->SetEnabled(ownEnabled);
    QSignalSpy onChange(spin, &TPlusSpinEdit::OnChange);
    seen.clear();

    Value()->setCurrentValue(set);
    QCOMPARE(spin->Value(), expected);
    QCOMPARE(onChange.count(), changes);
    // A screen reader hears of exactly the changes that happened.
    QCOMPARE(ValueEvents(spin).size(), changes);
    if (changes)
        QCOMPARE(ValueEvents(spin).last(), expected);
}

void TestPlusSpinEditAccessible::actions_data()
{
    QTest::addColumn<QString>("via"); // "action", "arrow" (the arrow's press) or "mouse"
    QTest::addColumn<bool>("up");
    QTest::addColumn<double>("start");
    QTest::addColumn<bool>("ownEnabled");
    QTest::addColumn<double>("expected");

    // Limits 0..40, tenths digit selected.
    for (const char* via : {"action", "arrow", "mouse"}) {
        const QString v = QString::fromLatin1(via);
        QTest::addRow("%s increase", via) << v << true << 12.5 << true << 12.6;
        QTest::addRow("%s decrease", via) << v << false << 12.5 << true << 12.4;
        QTest::addRow("%s increase at the maximum", via) << v << true << 40.0 << true << 40.0;
        QTest::addRow("%s decrease clamped to the minimum", via)
            << v << false << 0.05 << true << 0.0;
        QTest::addRow("%s while own Enabled false", via) << v << true << 12.5 << false << 12.5;
    }
}

void TestPlusSpinEditAccessible::actions()
{
    QFETCH(QString, via);
    QFETCH(bool, up);
    QFETCH(double, start);
    QFETCH(bool, ownEnabled);
    QFETCH(double, expected);
    spin->SetMaxValue(40);
    spin->AssignValue(start);
    spin->SelectDigit(-1);
    spin->SetEnabled(ownEnabled);
    QSignalSpy onChange(spin, &TPlusSpinEdit::OnChange);
    seen.clear();

    QWidget* arrow = up ? static_cast<QWidget*>(spin->UpButton()) : spin->DownButton();
    if (via == "action") {
        QVERIFY(
            Actions()->actionNames().contains(up ? QAccessibleActionInterface::increaseAction()
                                                 : QAccessibleActionInterface::decreaseAction()));
        Actions()->doAction(up ? QAccessibleActionInterface::increaseAction()
                               : QAccessibleActionInterface::decreaseAction());
    } else if (via == "arrow") {
        QCOMPARE(Actions(arrow)->actionNames(),
                 QStringList{QAccessibleActionInterface::pressAction()});
        Actions(arrow)->doAction(QAccessibleActionInterface::pressAction());
    } else {
        QTest::mouseClick(arrow, Qt::LeftButton, Qt::NoModifier, arrow->rect().center());
    }

    QCOMPARE(spin->Value(), expected);
    const int changes = expected == start ? 0 : 1;
    QCOMPARE(onChange.count(), changes);
    QCOMPARE(ValueEvents(spin), changes ? QList<double>{expected} : QList<double>{});
    QVERIFY(!spin->Spinning());
    QVERIFY(!spin->RepeatTimer()->isActive());
}

void TestPlusSpinEditAccessible::states()
{
    QAccessibleInterface* i = Iface();
    QVERIFY(i->state().focusable);
    QVERIFY(!i->state().disabled);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    spin->setFocus();
    QTRY_VERIFY(i->state().focused);

    // Greyed by its own flag: disabled for a client too, still focusable by Tab; its
    // arrows follow.
    spin->SetEnabled(false);
    QVERIFY(i->state().disabled);
    QVERIFY(i->state().focusable);
    QVERIFY(Iface(spin->UpButton())->state().disabled);
    spin->SetEnabled(true);
    QVERIFY(!i->state().disabled);
    QVERIFY(!Iface(spin->UpButton())->state().disabled);

    // A widget disabled the ordinary way is disabled as well.
    spin->setEnabled(false);
    QVERIFY(i->state().disabled);
}

void TestPlusSpinEditAccessible::events()
{
    spin->SetMaxValue(40);
    seen.clear();

    // Value changed: every stored change, from any path, with the new value; a write that
    // changes nothing sends nothing.
    spin->AssignValue(3);
    spin->AssignValue(3);
    spin->SetValue(4); // no OnChange, but the shown value did change
    spin->SetMaxValue(2);
    QCOMPARE(ValueEvents(spin), (QList<double>{3, 4, 2}));

    // State changed (disabled) whenever its own Enabled flips, not when it is rewritten.
    seen.clear();
    spin->SetEnabled(false);
    spin->SetEnabled(false);
    spin->SetEnabled(true);
    int disabledChanges = 0;
    for (const SeenEvent& e : seen)
        if (e.type == QAccessible::StateChanged && e.object == spin && e.changed.disabled)
            ++disabledChanges;
    QCOMPARE(disabledChanges, 2);
}

void TestPlusSpinEditAccessible::burstOfIncreasesStepsLikeTheKeys()
{
    // A thousand "increase" presses in one go give what a thousand Up keys give: every
    // step, in order, each announced.
    auto run = [&](bool keys) {
        spin->SetMaxValue(0);
        spin->SetIncrement(0.01);
        spin->AssignValue(0);
        QList<double> changes;
        auto c = connect(spin, &TPlusSpinEdit::OnChange, this, [&] { changes << spin->Value(); });
        seen.clear();
        if (keys) {
            window->activateWindow();
            spin->setFocus();
            for (int n = 0; n < 1000; ++n) {
                QTest::keyPress(spin, Qt::Key_Up);
                QTest::keyRelease(spin, Qt::Key_Up);
            }
        } else {
            for (int n = 0; n < 1000; ++n)
                Actions()->doAction(QAccessibleActionInterface::increaseAction());
        }
        disconnect(c);
        return std::make_pair(changes, ValueEvents(spin));
    };
    const auto [byAction, announcedByAction] = run(false);
    const auto [byKeys, announcedByKeys] = run(true);
    QCOMPARE(byAction.size(), 1000);
    QCOMPARE(byAction.last(), spin->Value());
    QCOMPARE(spin->ShownText(), QStringLiteral("10.00"));
    for (int n = 1; n < byAction.size(); ++n)
        QVERIFY(byAction[n] > byAction[n - 1]);
    QCOMPARE(byAction, byKeys);
    QCOMPARE(announcedByAction, byAction);
    QCOMPARE(announcedByKeys, byKeys);
}

QTEST_MAIN(TestPlusSpinEditAccessible)
#include "tst_plusspedaccessible.moc"
