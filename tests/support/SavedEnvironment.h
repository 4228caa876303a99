// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Keeps an environment variable as it was when constructed and puts it back
// (or unsets it again) when destroyed, so tests can set it freely.

#include <QByteArray>
#include <QtGlobal>

class TSavedEnvironment
{
public:
    explicit TSavedEnvironment(const char* name)
        : FName(name), FWasSet(qEnvironmentVariableIsSet(name)), FValue(qgetenv(name))
    {
    }
    ~TSavedEnvironment()
    {
        if (FWasSet)
            qputenv(FName, FValue);
        else
            qunsetenv(FName);
    }
    TSavedEnvironment(const TSavedEnvironment&) = delete;
    TSavedEnvironment& operator=(const TSavedEnvironment&) = delete;

private:
    const char* FName;
    bool FWasSet;
    QByteArray FValue;
};
