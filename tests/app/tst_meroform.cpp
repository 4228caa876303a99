// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as created: names, captions, items, initial states and a
// layout that fits the window's outer sizes.
#include "LampWidget.h"
#include "MEROMain.h"
#include "MeasureBar.h"
#include "RadioGroup.h"
#include "plussped.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

class TestMeroForm : public QObject
{
    Q_OBJECT

    template <typename T> T* Find(const char* name)
    {
        T* w = m_window->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qWarning("no %s named %s", T::staticMetaObject.className(), name);
        return w;
    }

private Q_SLOTS:
    void init() { m_window = new TMERO_App; }
    void cleanup() { delete m_window; }

    void window();
    void lamps_data();
    void lamps();
    void texts_data();
    void texts();
    void buttons();
    void radioGroups();
    void pages();
    void combos_data();
    void combos();
    void comboIgnoresTypedItems();
    void spinEdits_data();
    void spinEdits();
    void barsAndList();
    void productionColumn();
    void menu();
    void timers();
    void fonts();
    void layoutFits_data();
    void layoutFits();
    void snapshot();

private:
    TMERO_App* m_window = nullptr;
};

void TestMeroForm::window()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("MERO_App"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("MERO"));
    // Fixed border: the operator cannot resize it.
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
}

void TestMeroForm::lamps_data()
{
    QTest::addColumn<QString>("lamp");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");
    QTest::newRow("0") << "EnabledLight"
                       << "Label4"
                       << "Enabled" << true;
    QTest::newRow("1") << "ActiveLight"
                       << "Label5"
                       << "Active" << true;
    QTest::newRow("2") << "ReadyLight"
                       << "Label6"
                       << "Ready" << true;
    QTest::newRow("3") << "FaultLight"
                       << "Label7"
                       << "Fault" << true;
    QTest::newRow("4") << "IntlkCntrlLight"
                       << "Label8"
                       << "Interlock Control" << true;
    QTest::newRow("5") << "OverTempLight"
                       << "Label9"
                       << "Over Temp" << true;
    QTest::newRow("6") << "CrowbarLight"
                       << "Label10"
                       << "Crowbar" << true;
    QTest::newRow("8") << "ExtTrigLight"
                       << "ExtTrigEnabledlbl"
                       << "Ext Trig Enabled" << false;
    QTest::newRow("9") << "QSWLight"
                       << "QswEnabledlbl"
                       << "Q-SW Enabled" << false;
    QTest::newRow("spare1") << "SpareIn1Light"
                            << ""
                            << "" << true;
    QTest::newRow("spare2") << "SpareIn2Light"
                            << ""
                            << "" << true;
    QTest::newRow("spare3") << "SpareIn3Light"
                            << ""
                            << "" << true;
}

void TestMeroForm::lamps()
{
    QFETCH(QString, lamp);
    QFETCH(QString, label);
    QFETCH(QString, text);
    QFETCH(bool, shown);
    auto* l = m_window->findChild<TLamp*>(lamp);
    QVERIFY(l);
    QCOMPARE(l->size(), QSize(17, 17));
    QVERIFY(!l->isLit());
    QCOMPARE(l->fillColor(), QColor(255, 255, 255));
    QCOMPARE(!l->isHidden(), shown);
    if (!label.isEmpty()) {
        auto* lb = m_window->findChild<QLabel*>(label);
        QVERIFY(lb);
        QCOMPARE(lb->text(), text);
        QCOMPARE(!lb->isHidden(), shown);
        QCOMPARE(lb->parentWidget()->objectName(), QStringLiteral("SystemStatusGrp"));
    }
}

void TestMeroForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("IMeasurelbl") << "IMeasurelbl"
                                 << "Current Measurement: ";
    QTest::newRow("VMeasurelbl") << "VMeasurelbl"
                                 << "Voltage Measurement: ";
    QTest::newRow("Label11") << "Label11"
                             << "Command Terminal";
    QTest::newRow("CompanyLabel") << "CompanyLabel"
                                  << "Company: ";
    QTest::newRow("ModelLabel") << "ModelLabel"
                                << "Model: ";
    QTest::newRow("SNLabel") << "SNLabel"
                             << "SN: ";
    QTest::newRow("FWLabel") << "FWLabel"
                             << "FW: ";
    QTest::newRow("ThermistorAlbl") << "ThermistorAlbl"
                                    << "Thermistor A:";
    QTest::newRow("ThermistorBlbl") << "ThermistorBlbl"
                                    << "Thermistor B:";
    QTest::newRow("PhotoDiodelbl") << "PhotoDiodelbl"
                                   << "Photo Diode:";
    QTest::newRow("SpareAnalogInlbl") << "SpareAnalogInlbl"
                                      << "Spare Analog In:";
}

void TestMeroForm::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    auto* l = m_window->findChild<QLabel*>(name);
    QVERIFY(l);
    QCOMPARE(l->text(), text);

    auto* heading = Find<QLabel>("Label11");
    QVERIFY(heading->font().underline());
}

void TestMeroForm::buttons()
{
    const QList<std::tuple<const char*, const char*, bool>> expected{
        {"Enablebtn", "Enable", true}, {"Startbtn", "Start", false},
        {"SaveBin", "Save Bin", true}, {"RecallBin", "Recall Bin", true},
        {"Sendbtn", "Send", true},     {"Reload", "Reload", true}};
    for (const auto& [name, text, enabled] : expected) {
        auto* b = Find<QPushButton>(name);
        QVERIFY(b);
        QCOMPARE(b->text(), QString::fromLatin1(text));
        QCOMPARE(b->isEnabled(), enabled);
    }
    auto* send = Find<QLineEdit>("SendEdit");
    QVERIFY(send);
    QVERIFY(send->text().isEmpty());
}

void TestMeroForm::radioGroups()
{
    auto* intlk = Find<TRadioGroup>("IntrlkCntrlGrp");
    QVERIFY(intlk);
    QCOMPARE(intlk->title(), QStringLiteral("Interlock Control"));
    QCOMPARE(intlk->Items(), (QStringList{"Open", "Closed"}));
    QCOMPARE(intlk->ItemIndex(), 0);
    QVERIFY(intlk->Button(0)->isChecked());
    QVERIFY(!intlk->Button(1)->isChecked());

    auto* qsw = Find<TRadioGroup>("QSWEnableGrp");
    QVERIFY(qsw);
    QCOMPARE(qsw->title(), QStringLiteral("Q-Switch"));
    QCOMPARE(qsw->Items(), (QStringList{"Disabled", "Enabled"}));
    QCOMPARE(qsw->ItemIndex(), 0);
}

void TestMeroForm::pages()
{
    auto* tabs = Find<QTabWidget>("PageControl1");
    QVERIFY(tabs);
    const QStringList names{"TabSettings", "TabSetup", "TabStorage", "TabVRX"};
    const QStringList captions{"Settings", "Setup", "Store-Recall", "VRX"};
    const QStringList groups{"SettingsGroup", "SetupsGroup", "StorageGroup", "VRXGroup"};
    QCOMPARE(tabs->count(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tabs->widget(i)->objectName(), names[i]);
        QCOMPARE(tabs->tabText(i), captions[i]);
        QVERIFY(tabs->isTabVisible(i));
        auto* g = tabs->widget(i)->findChild<QGroupBox*>(groups[i]);
        QVERIFY2(g, qPrintable(groups[i]));
        QVERIFY(g->title().isEmpty());
    }
    QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("TabStorage"));
    QVERIFY(!tabs->isTabEnabled(3));
    QVERIFY(!tabs->widget(3)->isEnabled());
    for (int i = 0; i < 3; ++i)
        QVERIFY(tabs->isTabEnabled(i));

    // Each setting sits in its page.
    const QList<std::pair<const char*, const char*>> where{
        {"ISettingAdj", "TabSettings"},   {"RepRateAdj", "TabSettings"},
        {"PulseWidthAdj", "TabSettings"}, {"BurstCountAdj", "TabSettings"},
        {"PulseModeSel", "TabSettings"},  {"MaxCurrentAdj", "TabSetup"},
        {"ComplianceVAdj", "TabSetup"},   {"MaximumRateAdj", "TabSetup"},
        {"TempFaultByp", "TabSetup"},     {"IntlkCntrlByp", "TabSetup"},
        {"PulseEnableOff", "TabSetup"},   {"StorageBinSel", "TabStorage"},
        {"SaveBin", "TabStorage"},        {"RecallBin", "TabStorage"},
        {"QSWEnableGrp", "TabVRX"},       {"QSWDelayAdj", "TabVRX"},
        {"ExtTrigSel", "TabVRX"},         {"SyncSettingSel", "TabVRX"},
        {"SpareAnalogOutAdj", "TabVRX"},  {"ThermistorAlbl", "TabVRX"},
        {"SpareIn3Light", "TabVRX"}};
    for (const auto& [control, page] : where) {
        auto* w = Find<QWidget>(control);
        QVERIFY2(w, control);
        QVERIFY2(Find<QWidget>(page)->isAncestorOf(w), control);
    }
}

void TestMeroForm::combos_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("text");
    QTest::newRow("PulseModeSel") << "PulseModeSel"
                                  << QStringList{"CW", "Pulsed", "Burst", "Single Shot"}
                                  << "PulseModeSel";
    QTest::newRow("TempFaultByp") << "TempFaultByp" << QStringList{"Enable", "Bypass"}
                                  << "TempFaultByp";
    QTest::newRow("IntlkCntrlByp")
        << "IntlkCntrlByp" << QStringList{"Enable", "Bypass"} << "IntlkCntrlByp";
    QTest::newRow("PulseEnableOff")
        << "PulseEnableOff" << QStringList{"On", "Off"} << "PulseEnableOff";
    QTest::newRow("StorageBinSel")
        << "StorageBinSel" << QStringList{"1", "2", "3", "4", "5"} << "StorageBinSel";
    QTest::newRow("ExtTrigSel") << "ExtTrigSel" << QStringList{"Disabled",
                                                               "Start (Rising)",
                                                               "Start (Falling)",
                                                               "Stop (Rising)",
                                                               "Stop (Falling)",
                                                               "Start/Stop (Rising)",
                                                               "Start/Stop (Falling)",
                                                               "Gate (Active High)",
                                                               "Gate (Active Low)"}
                                << "ExtTrigSel";
    QTest::newRow("SyncSettingSel")
        << "SyncSettingSel"
        << QStringList{"Disabled", "Pulse Control", "Q-SW Control", "Pulse/Q-SW"} << "SyncSettings";
}

void TestMeroForm::combos()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(QString, text);
    auto* box = m_window->findChild<QComboBox*>(name);
    QVERIFY(box);
    QVERIFY(box->isEditable());
    QCOMPARE(box->insertPolicy(), QComboBox::NoInsert);
    QStringList got;
    for (int i = 0; i < box->count(); ++i)
        got << box->itemText(i);
    QCOMPARE(got, items);
    QCOMPARE(box->currentIndex(), -1);
    QCOMPARE(box->currentText(), text);
    QCOMPARE(box->lineEdit()->text(), text);
}

void TestMeroForm::comboIgnoresTypedItems()
{
    auto* box = Find<QComboBox>("StorageBinSel");
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), "7");
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QCOMPARE(box->count(), 5);
    QCOMPARE(box->currentIndex(), -1);
}

void TestMeroForm::spinEdits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("increment");
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<int>("leading");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("autoSize");
    QTest::newRow("ISettingAdj") << "ISettingAdj" << 0.0 << 2 << 0.01 << 0.0 << 0.0 << 3 << ""
                                 << false;
    QTest::newRow("RepRateAdj") << "RepRateAdj" << 0.1 << 1 << 0.1 << 0.1 << 0.0 << 0 << ""
                                << false;
    QTest::newRow("PulseWidthAdj")
        << "PulseWidthAdj" << 0.0 << 7 << 0.0000001 << 0.0 << 0.0 << 0 << "," << true;
    QTest::newRow("BurstCountAdj")
        << "BurstCountAdj" << 0.0 << 0 << 1.0 << 0.0 << 0.0 << 0 << "" << true;
    QTest::newRow("MaxCurrentAdj")
        << "MaxCurrentAdj" << 0.0 << 0 << 1.0 << 0.0 << 0.0 << 0 << "" << true;
    QTest::newRow("ComplianceVAdj")
        << "ComplianceVAdj" << 0.0 << 1 << 0.1 << 0.0 << 0.0 << 0 << "" << true;
    QTest::newRow("MaximumRateAdj")
        << "MaximumRateAdj" << 0.0 << 0 << 1.0 << 0.0 << 0.0 << 0 << "" << true;
    QTest::newRow("QSWDelayAdj") << "QSWDelayAdj" << 0.0 << 7 << 0.0000002 << -0.0061 << 0.0061 << 0
                                 << "," << false;
    QTest::newRow("SpareAnalogOutAdj")
        << "SpareAnalogOutAdj" << 0.0 << 2 << 0.01 << 0.0 << 10.0 << 0 << "" << false;
}

void TestMeroForm::spinEdits()
{
    QFETCH(QString, name);
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(double, increment);
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(int, leading);
    QFETCH(QString, separator);
    QFETCH(bool, autoSize);
    auto* s = m_window->findChild<TPlusSpinEdit*>(name);
    QVERIFY(s);
    // A value starts at 0, or at the lower limit when the limits exclude 0.
    QCOMPARE(s->property("Value").toDouble(), value);
    QCOMPARE(s->property("Decimals").toInt(), decimals);
    QCOMPARE(s->property("Increment").toDouble(), increment);
    QCOMPARE(s->property("MinValue").toDouble(), minValue);
    QCOMPARE(s->property("MaxValue").toDouble(), maxValue);
    QCOMPARE(s->property("LeadingDigits").toInt(), leading);
    const QString sep = s->property("ThousandSeparator").toString();
    QCOMPARE(sep.isEmpty() || sep == QChar(0) ? QString() : sep, separator);
    QCOMPARE(s->property("AutoSize").toBool(), autoSize);
    QCOMPARE(s->property("Base").toInt(), 10);
}

void TestMeroForm::barsAndList()
{
    for (const char* name : {"CurrentMeasureBar", "VoltageMeasureBar"}) {
        auto* bar = Find<TMeasureBar>(name);
        QVERIFY(bar);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);
        QVERIFY(!bar->isTextVisible());
    }
    auto* list = Find<QTextEdit>("ResponseList");
    QVERIFY(list);
    QVERIFY(list->document()->isEmpty());
    QCOMPARE(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(list->document()->maximumBlockCount(), 10000);
    const QPalette pal = list->palette();
    QCOMPARE(pal.color(QPalette::Inactive, QPalette::Highlight),
             pal.color(QPalette::Active, QPalette::Highlight));

    auto* info = Find<QGroupBox>("InfoBox");
    QCOMPARE(info->title(), QStringLiteral("Information"));
    QVERIFY(info->isAncestorOf(Find<QLabel>("CompanyLabel")));
    QVERIFY(info->isAncestorOf(Find<QLabel>("FWLabel")));
}

void TestMeroForm::productionColumn()
{
    auto* cal = Find<QGroupBox>("CalBox");
    QVERIFY(cal);
    QCOMPARE(cal->title(), QStringLiteral("Prod Settings"));
    QVERIFY(cal->isHidden());
    for (const char* name : {"SNEdit", "BadgeEdit", "ConfigEdit"}) {
        auto* e = Find<QLineEdit>(name);
        QVERIFY(e);
        QVERIFY(cal->isAncestorOf(e));
        QVERIFY(e->text().isEmpty());
    }
    QVERIFY(cal->isAncestorOf(Find<QPushButton>("Reload")));
    QStringList labels;
    for (auto* l : cal->findChildren<QLabel*>())
        labels << l->text();
    QCOMPARE(labels, (QStringList{"Serial Number", "Badge", "Config"}));
    // A right-hand column beyond the narrow window's edge.
    QVERIFY(cal->mapTo(m_window, QPoint(0, 0)).x() >= 375);
}

void TestMeroForm::menu()
{
    auto* bar = Find<QMenuBar>("MainMenu1");
    QVERIFY(bar);
    QCOMPARE(m_window->menuBar(), bar);
    QList<QAction*> top = bar->actions();
    // "View" (the measurements window) is an addition between File and Help.
    QCOMPARE(top.size(), 3);
    QCOMPARE(top[1]->text(), QStringLiteral("&View"));
    top.removeAt(1);
    // Captions read "File" and "Help"; Alt+F and Alt+H open them.
    QCOMPARE(top[0]->text(), QStringLiteral("&File"));
    QCOMPARE(top[0]->menu()->objectName(), QStringLiteral("File1"));
    QCOMPARE(top[1]->text(), QStringLiteral("&Help"));
    QCOMPARE(top[1]->menu()->objectName(), QStringLiteral("Help1"));

    const QList<QAction*> file = top[0]->menu()->actions();
    QCOMPARE(file.size(), 3);
    const QStringList names{"Exit1", "Initialize1", "EnableLoggingMenu"};
    const QStringList texts{"Exit", "Initialize", "Logging Enabled"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(file[i]->objectName(), names[i]);
        QCOMPARE(file[i]->text(), texts[i]);
        QCOMPARE(file[i]->isCheckable(), i == 2);
        QVERIFY(!file[i]->isChecked());
    }
    const QList<QAction*> help = top[1]->menu()->actions();
    QCOMPARE(help.size(), 1);
    QCOMPARE(help[0]->objectName(), QStringLiteral("About1"));
    QCOMPARE(help[0]->text(), QStringLiteral("About"));
}

void TestMeroForm::timers()
{
    QCOMPARE(m_window->StatusTimer->objectName(), QStringLiteral("StatusTimer"));
    QCOMPARE(m_window->StatusTimer->interval(), 1000);
    QVERIFY(!m_window->StatusTimer->isActive());
    QCOMPARE(m_window->TaskTimer->objectName(), QStringLiteral("TaskTimer"));
    QCOMPARE(m_window->TaskTimer->interval(), 5);
    QVERIFY(!m_window->TaskTimer->isActive());
}

void TestMeroForm::fonts()
{
    QCOMPARE(m_window->font().pixelSize(), 11);
    QCOMPARE(Find<QLabel>("Label4")->font().pixelSize(), 11);
    QCOMPARE(Find<QTextEdit>("ResponseList")->font().pixelSize(), 11);
    for (auto* s : m_window->findChildren<TPlusSpinEdit*>())
        QCOMPARE(s->font().pixelSize(), 13);
    QVERIFY(Find<QLabel>("SpareInputslbl")->font().underline());
}

namespace
{
// Every widget that would be drawn, with its rectangle in window coordinates.
QList<std::pair<QWidget*, QRect>> Shown(QWidget* top)
{
    QList<std::pair<QWidget*, QRect>> out;
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisibleTo(top))
            continue;
        out.append({w, QRect(w->mapTo(top, QPoint(0, 0)), w->size())});
    }
    return out;
}

bool IsInside(QWidget* w, const char* name)
{
    for (QWidget* p = w; p; p = p->parentWidget())
        if (p->objectName() == QLatin1String(name))
            return true;
    return false;
}
} // namespace

void TestMeroForm::layoutFits_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("unlocked");
    QTest::addColumn<int>("page");
    for (int page = 0; page < 4; ++page) {
        QTest::addRow("narrow page %d", page) << 375 << false << page;
        QTest::addRow("unlocked page %d", page) << 475 << true << page;
    }
}

void TestMeroForm::layoutFits()
{
    QFETCH(int, width);
    QFETCH(bool, unlocked);
    QFETCH(int, page);
    auto* tabs = Find<QTabWidget>("PageControl1");
    tabs->setTabEnabled(3, true);
    tabs->setCurrentIndex(page);
    Find<QWidget>("ExtTrigLight")->show();
    Find<QWidget>("QSWLight")->show();
    Find<QWidget>("ExtTrigEnabledlbl")->show();
    Find<QWidget>("QswEnabledlbl")->show();
    Find<QWidget>("CalBox")->setVisible(unlocked);
    m_window->SetOuterSize(width, 620);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QCOMPARE(m_window->frameGeometry().size(), QSize(width, 620));

    // Everything but the production column lies within the narrow window,
    // with room left for the side borders of a window manager's frame.
    constexpr int narrowClient = 375 - 8;
    const auto shown = Shown(m_window);
    const QRect client(QPoint(0, 0), m_window->size());
    for (const auto& [w, r] : shown) {
        const QString what = w->objectName() + " " + w->metaObject()->className();
        if (w->parentWidget() == m_window || w->objectName().startsWith("qt_"))
            continue;
        if (IsInside(w, "CalBox"))
            QVERIFY2(r.left() >= 375, qPrintable(what));
        else
            QVERIFY2(r.right() < narrowClient, qPrintable(what));
        QVERIFY2(client.contains(r), qPrintable(what));
    }

    // Texts are not clipped.
    for (const auto& [w, r] : shown) {
        const QString what = w->objectName();
        if (auto* l = qobject_cast<QLabel*>(w))
            QVERIFY2(l->sizeHint().width() <= l->width() &&
                         l->sizeHint().height() <= l->height() + 1,
                     qPrintable(what + " " + QString::number(l->sizeHint().width())));
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + 12 <= b->width(),
                     qPrintable(what));
        else if (auto* box = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < box->count(); ++i)
                QVERIFY2(box->fontMetrics().horizontalAdvance(box->itemText(i)) + 24 <=
                             box->width(),
                         qPrintable(what + " " + box->itemText(i)));
        }
    }
    for (const char* caption : {"Disable", "Stop"}) {
        auto* b = Find<QPushButton>("Enablebtn");
        QVERIFY(b->fontMetrics().horizontalAdvance(caption) + 12 <= b->width());
    }
    // The tabs fit without scroll buttons.
    QVERIFY2(tabs->tabBar()->sizeHint().width() <= tabs->width(),
             qPrintable(QString::number(tabs->tabBar()->sizeHint().width())));

    // Siblings do not overlap.
    for (const auto& [a, ra] : shown)
        for (const auto& [b, rb] : shown) {
            if (a >= b || a->parentWidget() != b->parentWidget())
                continue;
            if (a->parentWidget() == m_window || qobject_cast<QTabWidget*>(a->parentWidget()) ||
                a->objectName().startsWith("qt_") || b->objectName().startsWith("qt_") ||
                a->parentWidget()->inherits("QTabWidget") ||
                a->parentWidget()->inherits("QStackedWidget"))
                continue;
            QVERIFY2(!ra.intersects(rb), qPrintable(a->objectName() + " / " + b->objectName()));
        }
}

void TestMeroForm::snapshot()
{
    // Set MERO_FORM_SNAPSHOT to a directory to look at the window by eye.
    const QString dir = qEnvironmentVariable("MERO_FORM_SNAPSHOT");
    if (dir.isEmpty())
        QSKIP("MERO_FORM_SNAPSHOT not set");
    auto* tabs = Find<QTabWidget>("PageControl1");
    m_window->SetOuterSize(475, 620);
    Find<QWidget>("CalBox")->show();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    for (int page = 0; page < 4; ++page) {
        tabs->setCurrentIndex(page);
        QVERIFY(m_window->grab().save(dir + QStringLiteral("/form-page%1.png").arg(page)));
    }
}

QTEST_MAIN(TestMeroForm)
#include "tst_meroform.moc"
