// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"

#include <QLocale>

void AppState::Reset()
{
    LogFile.Close();
    LogFile.OnStateChanged = nullptr;
    LogFile.Bind(QByteArray());
    static_cast<AppStateFields&>(*this) = AppStateFields{};
}

AppState& appState()
{
    static AppState state;
    return state;
}

QByteArray FormatLogStamp(const QDateTime& t)
{
    return QLocale::c().toString(t, QStringLiteral("MM-dd-yy_HH-mm-ss")).toLatin1();
}

void PrepareLogging(AppState& state, const QDateTime& now)
{
    state.LoggingEnabled = false;
    state.UserName = qgetenv("USERNAME");
    state.LogStamp = FormatLogStamp(now);
    state.LogFile.Bind(CommLog::FileName(state.UserName, state.LogStamp));
}
