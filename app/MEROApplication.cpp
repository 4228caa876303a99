// SPDX-License-Identifier: GPL-3.0-or-later
#include "MEROApplication.h"

#include "UserPrompts.h"
#include "meroerror.h"

#include <exception>

TMEROApplication::TMEROApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    SetMeroErrorReporter([](const QString& message) { UserPrompts().Warning(message); });
}

TMEROApplication::~TMEROApplication()
{
    SetMeroErrorReporter({});
}

// The last line of defence: handlers report their own errors (ReportMeroError), since an
// error thrown through Qt's event delivery skips that code's clean-up.
bool TMEROApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        UserPrompts().Warning(QString::fromUtf8(e.what()));
    } catch (...) {
        UserPrompts().Warning(QStringLiteral("Unexpected error"));
    }
    return false;
}
