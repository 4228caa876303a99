// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

// The application object. An error that a handler raises ("Not a valid
// number") is shown in a warning box and the program goes on: handlers report
// it through ReportMeroError, which this object routes to the warning box for
// its lifetime; anything still thrown is caught where the event loop delivers
// the event.
class TMEROApplication : public QApplication
{
    Q_OBJECT

public:
    TMEROApplication(int& argc, char** argv);
    ~TMEROApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;
};
