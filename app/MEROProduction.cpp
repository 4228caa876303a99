// SPDX-License-Identifier: GPL-3.0-or-later
// The production settings behind "About" with Control held, and the About box.
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "CommandSet.h"
#include "KeyState.h"
#include "Latin1.h"
#include "NumberFormat.h"
#include "OperatorCommands.h"
#include "UserPrompts.h"

namespace
{
const QString kAccessCode = QStringLiteral("60728");
constexpr int kUnlockedWidth = 475;
} // namespace

void TMERO_App::About1Click(QObject*)
{
    if (!KeyState().Control()) {
        UserPrompts().Message(QStringLiteral("Halvane"));
        return;
    }
    // Cancel gives an empty text, which is simply a wrong code.
    const IUserPrompts::TextInput input =
        UserPrompts().AskText(QStringLiteral("Unsecure Form"), QStringLiteral("Enter Code:"));
    if (input.ok && input.text == kAccessCode) {
        UserPrompts().Message(QStringLiteral("Form Unlocked"));
        SetOuterSize(kUnlockedWidth, FOuterSize.height());
        ui->CalBox->setVisible(true);
    } else {
        UserPrompts().Message(QStringLiteral("Incorrect Code"));
    }
}

void TMERO_App::ProductionEnter(const char* mnemonic, QLineEdit* edit, qint32& field)
{
    const QString typed = TypedLine(edit->text());
    // Queued as typed before the conversion, so even a text that is not a
    // number reaches the unit.
    QueueSetting(SetCommandText(mnemonic, typed));
    const std::optional<qint32> value = NumberFormat::ParseInt32(ToLatin1Text(typed));
    if (!value) {
        // Reported the way the application reports a handler's error, but
        // without unwinding through Qt's key-event delivery, which is not
        // exception safe (it leaks, at the least).
        UserPrompts().Warning(NotAnIntegerMessage(typed));
        return;
    }
    field = *value;
}

void TMERO_App::SNEditKeyPress(QObject*, QChar& Key)
{
    if (Key == QLatin1Char('\r'))
        ProductionEnter("SER", ui->SNEdit, appState().SerialNumber);
}

void TMERO_App::BadgeEditKeyPress(QObject*, QChar& Key)
{
    if (Key == QLatin1Char('\r'))
        ProductionEnter("BDG", ui->BadgeEdit, appState().BadgeNumber);
}

void TMERO_App::ConfigEditKeyPress(QObject*, QChar& Key)
{
    // The next status poll already follows a new configuration code.
    if (Key == QLatin1Char('\r'))
        ProductionEnter("CFG", ui->ConfigEdit, appState().ConfigCode);
}

void TMERO_App::ReloadClick(QObject*)
{
    // The read-back also narrows the window to 375 again.
    Initialize();
}
