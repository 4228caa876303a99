// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>
#include <stdexcept>
#include <string>

// An error that an operator action raises and the application reports in a message box.
// The message is shown exactly as given.
class MeroError : public std::runtime_error
{
public:
    explicit MeroError(const std::string& message) : std::runtime_error(message) {}
};

// Where an event handler's error is reported. Qt's own event-delivery code is built without
// exception support: an error thrown through it skips that code's clean-up (it leaks, and
// its state may be left half-done). So a handler catches the error itself and hands its
// message to ReportMeroError, which calls the installed reporter (the application shows a
// warning box). Without a reporter the message goes to qWarning. GUI thread only.
using MeroErrorReporter = std::function<void(const QString& message)>;
// Installs the reporter and returns the one it replaces (an empty one for none).
MeroErrorReporter SetMeroErrorReporter(MeroErrorReporter reporter);
void ReportMeroError(const std::exception& error);
