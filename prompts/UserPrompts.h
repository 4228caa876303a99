// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Every modal box of the program goes through this interface, so tests can
// answer boxes without a screen and nothing can block a test unasked.
// Captions are always the application name ("MERO Application").
class IUserPrompts
{
public:
    enum class Answer { Yes, No, Abort, Retry, Other };

    struct TextInput {
        bool ok = false; // false when cancelled; text is then empty
        QString text;
    };

    virtual ~IUserPrompts() = default;

    // Information box with an OK button.
    virtual void Information(const QString& text) = 0;
    // Plain message box: an OK button and no icon.
    virtual void Message(const QString& text) = 0;
    // Warning or error box with an OK button.
    virtual void Warning(const QString& text) = 0;
    // Warning box with Yes and No; Other when dismissed without a choice.
    virtual Answer AskYesNo(const QString& text) = 0;
    // The same box with details behind Qt's "Show Details..." button, shown
    // collapsed: text and buttons stay as they are. Without an override it is
    // the plain AskYesNo.
    virtual Answer AskYesNoWithDetails(const QString& text, const QString& details)
    {
        Q_UNUSED(details);
        return AskYesNo(text);
    }
    // Warning box with Abort and Retry (the port's boxes); a dismissed box is Abort.
    virtual Answer AskAbortRetry(const QString& text) = 0;
    // Text input box with OK and Cancel; the field starts with initialText.
    virtual TextInput AskText(const QString& caption, const QString& prompt,
                              const QString& initialText = QString()) = 0;
};

// The prompts in force for the whole process: the QMessageBox/QInputDialog
// implementation unless another one was installed.
IUserPrompts& UserPrompts();

// Installs prompts for the whole process (not owned); nullptr restores the
// default. Returns the previously installed one (nullptr for the default).
IUserPrompts* InstallUserPrompts(IUserPrompts* prompts);

// Caption of every box.
QString PromptCaption();
