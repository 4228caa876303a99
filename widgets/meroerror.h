#pragma once

#include <stdexcept>
#include <string>

// An error that an operator action raises and the application reports in a message box
// (caught at the event-loop boundary). The message is shown exactly as given.
class MeroError : public std::runtime_error
{
public:
    explicit MeroError(const std::string& message) : std::runtime_error(message) {}
};
