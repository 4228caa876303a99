// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the main window, filled as after a read-back, with the Fusion style into a PNG for
// checking readability by eye (not a test):
//   mainwindow-shot <out.png> [--dark]
// Run with QT_SCALE_FACTOR=2 for the window at twice the scale.
#include "LampWidget.h"
#include "MEROMain.h"
#include "MeasureBar.h"
#include "ResponseListEcho.h"
#include "ThemeSupport.h"
#include "plussped.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        qWarning("usage: mainwindow-shot <out.png> [--dark]");
        return 2;
    }
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(args.contains("--dark") ? DarkPalette()
                                                     : QApplication::style()->standardPalette());

    TMERO_App w;
    auto spin = [&](const char* n) { return w.findChild<TPlusSpinEdit*>(n); };
    auto lamp = [&](const char* n) { return w.findChild<TLamp*>(n); };
    auto bar = [&](const char* n) { return w.findChild<TMeasureBar*>(n); };
    auto label = [&](const char* n) { return w.findChild<QLabel*>(n); };
    auto button = [&](const char* n) { return w.findChild<QPushButton*>(n); };
    w.setWindowTitle("MERO    Ver: 1.4.1.1");
    spin("MaxCurrentAdj")->AssignValue(40);
    spin("ISettingAdj")->SetMaxValue(40);
    spin("ISettingAdj")->AssignValue(12.5);
    spin("MaximumRateAdj")->AssignValue(5000);
    spin("RepRateAdj")->SetMaxValue(5000);
    spin("RepRateAdj")->AssignValue(1000);
    spin("PulseWidthAdj")->AssignValue(0.00001);
    spin("BurstCountAdj")->AssignValue(7);
    spin("ComplianceVAdj")->AssignValue(24.5);
    w.findChild<QComboBox*>("PulseModeSel")->setCurrentIndex(1);
    lamp("EnabledLight")->setLit(true);
    lamp("ReadyLight")->setLit(true);
    button("Enablebtn")->setText("Disable");
    button("Startbtn")->setEnabled(true);
    bar("CurrentMeasureBar")->SetMax(40);
    bar("CurrentMeasureBar")->SetPosition(12);
    label("IMeasurelbl")->setText("Current Measurement: 12.4");
    bar("VoltageMeasureBar")->SetMax(2450);
    bar("VoltageMeasureBar")->SetPosition(550);
    label("VMeasurelbl")->setText("Voltage Measurement: 5.5");
    label("CompanyLabel")->setText("Company: MERO Virtual Unit");
    label("ModelLabel")->setText("Model: 2740");
    label("SNLabel")->setText("SN: 10001");
    label("FWLabel")->setText("FW: 1.0.0");
    w.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(0);
    w.SetOuterSize(375, 620);
    w.show();
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w))
        qWarning("window did not become active");
    spin("ISettingAdj")->setFocus();
    spin("ISettingAdj")->SelectDigit(-1);
    QApplication::processEvents();
    // The list as the echo fills it, without the sends of the settings above.
    w.findChild<QTextEdit*>("ResponseList")->clear();
    TResponseListEcho echo(w.findChild<QTextEdit*>("ResponseList"));
    echo.AppendLine("(10:00:00.000) ;DC:CS 012.50", QColor(0, 0, 0));
    echo.AppendLine("(10:00:00.004) OK", QColor(0, 0x80, 0));
    echo.AppendLine("(10:00:01.120) SS?", QColor(0, 0, 0));
    echo.AppendLine("(10:00:01.123) 5", QColor(0, 0x80, 0));
    QApplication::processEvents();
    const QImage img = w.grab().toImage();
    if (!img.save(args.at(1))) {
        qWarning("cannot write %s", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
