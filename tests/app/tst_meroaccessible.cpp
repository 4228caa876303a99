// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as assistive technology and the keyboard see it: every control's role and
// name, lamp states with their events, bar values, the response list's lines, the tab order
// and the menus' Alt accelerators.
#include "LampWidget.h"
#include "MEROMain.h"
#include "MeasureBar.h"
#include "ResponseListEcho.h"
#include "accessibleevents.h"
#include "plussped.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QtTest>

namespace
{
QList<QPair<QAccessible::Event, QObject*>> seen;
void Record(QAccessibleEvent* event)
{
    seen.append({event->type(), event->object()});
}

// The named control a focused widget belongs to (an editable combo box focuses its line
// edit, a radio group its buttons).
QString Owner(QWidget* w)
{
    if (qobject_cast<QRadioButton*>(w))
        w = w->parentWidget();
    for (; w; w = w->parentWidget()) {
        const QString name = w->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
            return name;
    }
    return {};
}
} // namespace

class TestMeroAccessible : public QObject
{
    Q_OBJECT

    TMERO_App* m_window = nullptr;

    template <typename T = QWidget> T* Find(const QString& name)
    {
        T* w = m_window->findChild<T*>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    static QAccessibleInterface* Iface(QObject* o)
    {
        return QAccessible::queryAccessibleInterface(o);
    }

private Q_SLOTS:
    void initTestCase() { AccessibleEvents::Install(&Record); }
    void cleanupTestCase() { AccessibleEvents::Install({}); }
    void init()
    {
        m_window = new TMERO_App;
        seen.clear();
    }
    void cleanup() { delete m_window; }

    void names_data();
    void names();
    void tabPagesKeepCaptions();
    void lampStatesAndEvents();
    void barsValueAndMaximum();
    void responseListLines();
    void tabOrder_data();
    void tabOrder();
    void altOpensMenus();
};

void TestMeroAccessible::names_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("name");

    const QList<QPair<const char*, const char*>> spins{
        {"ISettingAdj", "Current Setting (A)"},      {"RepRateAdj", "Pulse Rate (Hz)"},
        {"PulseWidthAdj", "Pulse Width (s)"},        {"BurstCountAdj", "Burst Count"},
        {"MaxCurrentAdj", "Max Current (A)"},        {"ComplianceVAdj", "Compliance Voltage"},
        {"MaximumRateAdj", "Maximum Rate (Hz)"},     {"QSWDelayAdj", "Q-Sw Delay (s)"},
        {"SpareAnalogOutAdj", "Spare Analog Out(V)"}};
    for (const auto& [object, name] : spins)
        QTest::newRow(object) << object << QAccessible::SpinBox << name;

    const QList<QPair<const char*, const char*>> lamps{{"EnabledLight", "Enabled"},
                                                       {"ActiveLight", "Active"},
                                                       {"ReadyLight", "Ready"},
                                                       {"FaultLight", "Fault"},
                                                       {"IntlkCntrlLight", "Interlock Control"},
                                                       {"OverTempLight", "Over Temp"},
                                                       {"CrowbarLight", "Crowbar"},
                                                       {"ExtTrigLight", "Ext Trig Enabled"},
                                                       {"QSWLight", "Q-SW Enabled"},
                                                       {"SpareIn1Light", "Spare input 1"},
                                                       {"SpareIn2Light", "Spare input 2"},
                                                       {"SpareIn3Light", "Spare input 3"}};
    for (const auto& [object, name] : lamps)
        QTest::newRow(object) << object << QAccessible::Indicator << name;

    const QList<QPair<const char*, const char*>> combos{
        {"PulseModeSel", "Pulse Mode"},
        {"TempFaultByp", "Temperature Fault Bypass"},
        {"IntlkCntrlByp", "Interlock Control Bypass"},
        {"PulseEnableOff", "Pulsing Enable"},
        {"StorageBinSel", "Storage Bin Number"},
        {"ExtTrigSel", "External Trigger Settings"},
        {"SyncSettingSel", "Sync Settings"}};
    // A combo box is named by its text, as Qt does on Linux; the caption is its label.
    for (const auto& [object, name] : combos)
        QTest::newRow(object) << object << QAccessible::ComboBox << name;

    QTest::newRow("CurrentMeasureBar")
        << "CurrentMeasureBar" << QAccessible::ProgressBar << "Current Measurement";
    QTest::newRow("VoltageMeasureBar")
        << "VoltageMeasureBar" << QAccessible::ProgressBar << "Voltage Measurement";
    QTest::newRow("ResponseList") << "ResponseList" << QAccessible::EditableText << "Responses";
    QTest::newRow("SendEdit") << "SendEdit" << QAccessible::EditableText << "Command Terminal";
    QTest::newRow("SNEdit") << "SNEdit" << QAccessible::EditableText << "Serial Number";
    QTest::newRow("BadgeEdit") << "BadgeEdit" << QAccessible::EditableText << "Badge";
    QTest::newRow("ConfigEdit") << "ConfigEdit" << QAccessible::EditableText << "Config";
    QTest::newRow("Enablebtn") << "Enablebtn" << QAccessible::Button << "Enable";
    QTest::newRow("SystemStatusGrp")
        << "SystemStatusGrp" << QAccessible::Grouping << "System Status";
    QTest::newRow("IntrlkCntrlGrp")
        << "IntrlkCntrlGrp" << QAccessible::Grouping << "Interlock Control";
    QTest::newRow("QSWEnableGrp") << "QSWEnableGrp" << QAccessible::Grouping << "Q-Switch";
    QTest::newRow("InfoBox") << "InfoBox" << QAccessible::Grouping << "Information";
    QTest::newRow("CalBox") << "CalBox" << QAccessible::Grouping << "Prod Settings";
}

void TestMeroAccessible::names()
{
    QFETCH(QString, object);
    QAccessibleInterface* i = Iface(Find(object));
    QVERIFY(i && i->isValid());
    QTEST(i->role(), "role");
    QFETCH(QString, name);
    if (i->role() != QAccessible::ComboBox)
        QCOMPARE(i->text(QAccessible::Name), name);
    // The caption label is also its labelling relation, which screen readers speak.
    QStringList labels;
    for (const auto& r : i->relations(QAccessible::Label))
        labels << r.first->text(QAccessible::Name).trimmed();
    const bool captioned = i->role() != QAccessible::Grouping && i->role() != QAccessible::Button &&
                           object != "ResponseList" && !object.startsWith("SpareIn");
    if (captioned) {
        const QString caption =
            object.endsWith(QLatin1String("MeasureBar")) ? name + QLatin1Char(':') : name;
        QVERIFY2(labels.contains(caption), qPrintable(labels.join('|')));
    }
}

void TestMeroAccessible::tabPagesKeepCaptions()
{
    auto* pages = Find<QTabWidget>("PageControl1");
    QAccessibleInterface* tabs = Iface(pages->tabBar());
    QCOMPARE(tabs->role(), QAccessible::PageTabList);
    QStringList captions;
    for (int c = 0; c < tabs->childCount(); ++c)
        if (tabs->child(c)->role() == QAccessible::PageTab)
            captions << tabs->child(c)->text(QAccessible::Name);
    QCOMPARE(captions, (QStringList{"Settings", "Setup", "Store-Recall", "VRX"}));
}

void TestMeroAccessible::lampStatesAndEvents()
{
    auto* lamp = Find<TLamp>("OverTempLight");
    QAccessibleInterface* i = Iface(lamp);
    QVERIFY(i->state().checkable);
    QVERIFY(!i->state().checked);
    QCOMPARE(i->text(QAccessible::Description), QStringLiteral("off"));

    lamp->setLit(true);
    QVERIFY(i->state().checked);
    QCOMPARE(i->text(QAccessible::Description), QStringLiteral("on"));
    lamp->setLit(true); // unchanged: nothing to announce
    lamp->setLit(false);
    QVERIFY(!i->state().checked);

    int states = 0, descriptions = 0;
    for (const auto& [type, object] : seen) {
        QCOMPARE(object, lamp);
        states += type == QAccessible::StateChanged;
        descriptions += type == QAccessible::DescriptionChanged;
    }
    QCOMPARE(states, 2);
    QCOMPARE(descriptions, 2);
}

void TestMeroAccessible::barsValueAndMaximum()
{
    auto* bar = Find<TMeasureBar>("CurrentMeasureBar");
    bar->SetMax(40);
    bar->SetPosition(12);
    QAccessibleValueInterface* v = Iface(bar)->valueInterface();
    QVERIFY(v);
    QCOMPARE(v->currentValue().toInt(), 12);
    QCOMPARE(v->maximumValue().toInt(), 40);
    QCOMPARE(v->minimumValue().toInt(), 0);
    bar->SetPosition(99); // drawn full
    QCOMPARE(v->currentValue().toInt(), 40);
}

void TestMeroAccessible::responseListLines()
{
    auto* list = Find<QTextEdit>("ResponseList");
    TResponseListEcho echo(list);
    echo.AppendLine(QStringLiteral("(10:00:00.000) CS 012.50"), QColor(0, 0, 0));
    echo.AppendLine(QStringLiteral("(10:00:00.004) OK <b>"), QColor(0, 0x80, 0));
    QAccessibleInterface* i = Iface(list);
    QVERIFY(i->state().readOnly);
    QVERIFY(!i->state().editable);
    QAccessibleTextInterface* t = i->textInterface();
    QVERIFY(t);
    QCOMPARE(t->text(0, t->characterCount()).split(QChar(u'\n')),
             (QStringList{"(10:00:00.000) CS 012.50", "(10:00:00.004) OK <b>"}));
    // Line by line, as a screen reader reads them.
    int start = 0, end = 0;
    QCOMPARE(t->textAtOffset(30, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("(10:00:00.004) OK <b>"));
}

void TestMeroAccessible::tabOrder_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("unlocked");
    QTest::addColumn<QStringList>("order");

    const QStringList left{"Enablebtn", "Startbtn", "IntrlkCntrlGrp", "PageControl1"};
    const QStringList terminal{"SendEdit", "Sendbtn", "ResponseList"};
    const QStringList production{"SNEdit", "BadgeEdit", "ConfigEdit", "Reload"};
    const QStringList settings{"ISettingAdj", "RepRateAdj", "PulseWidthAdj", "BurstCountAdj",
                               "PulseModeSel"};
    const QStringList setup{"MaxCurrentAdj", "ComplianceVAdj", "MaximumRateAdj",
                            "TempFaultByp",  "IntlkCntrlByp",  "PulseEnableOff"};
    const QStringList storage{"StorageBinSel", "SaveBin", "RecallBin"};
    const QStringList vrx{"QSWEnableGrp", "QSWDelayAdj", "ExtTrigSel", "SyncSettingSel",
                          "SpareAnalogOutAdj"};
    QTest::newRow("Settings") << 0 << false << left + settings + terminal;
    QTest::newRow("Setup") << 1 << false << left + setup + terminal;
    QTest::newRow("Store-Recall") << 2 << false << left + storage + terminal;
    QTest::newRow("VRX") << 3 << false << left + vrx + terminal;
    QTest::newRow("Settings, production unlocked")
        << 0 << true << left + settings + terminal + production;
}

void TestMeroAccessible::tabOrder()
{
    QFETCH(int, page);
    QFETCH(bool, unlocked);
    QFETCH(QStringList, order);
    Find("Startbtn")->setEnabled(true);
    Find("TabVRX")->setEnabled(true);
    Find<QTabWidget>("PageControl1")->setTabEnabled(3, true);
    Find<QTabWidget>("PageControl1")->setCurrentIndex(page);
    if (unlocked) {
        m_window->SetOuterSize(475, 620);
        Find("CalBox")->setVisible(true);
    }
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    Find("Enablebtn")->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(Owner(QApplication::focusWidget()), QStringLiteral("Enablebtn"));

    // Tab through the whole ring once, noting whose control has the focus.
    QStringList visited{"Enablebtn"};
    for (int n = 0; n < 40; ++n) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QString owner = Owner(QApplication::focusWidget());
        if (owner == visited.first())
            break;
        if (owner != visited.last())
            visited << owner;
    }
    QCOMPARE(visited.join(QLatin1Char(' ')), order.join(QLatin1Char(' ')));
}

void TestMeroAccessible::altOpensMenus()
{
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    auto* file = Find<QMenu>("File1");
    auto* help = Find<QMenu>("Help1");
    // Alt+letter opens the menu; the captions themselves read "File" and "Help".
    QTest::keyClick(m_window, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(file->isVisible());
    QTest::keyClick(file, Qt::Key_Escape);
    QTRY_VERIFY(!file->isVisible());
    QTest::keyClick(m_window, Qt::Key_H, Qt::AltModifier);
    QTRY_VERIFY(help->isVisible());
    QTest::keyClick(help, Qt::Key_Escape);

    QStringList captions;
    QAccessibleInterface* bar = Iface(m_window->menuBar());
    for (int c = 0; c < bar->childCount(); ++c)
        captions << bar->child(c)->text(QAccessible::Name);
    QVERIFY2(captions.contains("File") && captions.contains("Help"),
             qPrintable(captions.join('|')));
    QVERIFY(captions.indexOf("File") < captions.indexOf("Help"));
}

QTEST_MAIN(TestMeroAccessible)
#include "tst_meroaccessible.moc"
