#include "MEROApplication.h"

#include "UserPrompts.h"

#include <exception>

TMEROApplication::TMEROApplication(int& argc, char** argv) : QApplication(argc, argv) {}

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
