#pragma once

#include <QApplication>

// The application object. An error that a handler raises ("Not a valid
// number", "'12a' is not a valid integer value") is caught where the event
// loop delivers the event and shown in a warning box; the program goes on.
class TMEROApplication : public QApplication
{
    Q_OBJECT

public:
    TMEROApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
