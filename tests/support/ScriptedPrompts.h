// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UserPrompts.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Answers the program's boxes from a script and records every box shown.
// Installed for the whole process while it lives. A box without a scripted
// answer is recorded in unexpected() and answered harmlessly (Abort, Other,
// cancelled input) so a test never hangs; check unexpected() is empty.
class ScriptedPrompts : public IUserPrompts
{
public:
    enum class Kind { Information, Warning, YesNo, AbortRetry, Text };
    struct Shown {
        Kind kind;
        QString text;
        QString details; // behind "Show Details..." (AskYesNoWithDetails)
        // A plain message is recorded as Information without an icon.
        bool plain = false;
    };

    ScriptedPrompts();
    ~ScriptedPrompts() override;

    // Queue the answer for the next box of that kind (first in, first out).
    void answerYesNo(Answer a) { yesNo << a; }
    void answerAbortRetry(Answer a) { abortRetry << a; }
    void answerText(bool ok, const QString& text) { texts << TextInput{ok, text}; }
    // OK boxes need no answer; they are always accepted.

    // Every box in order; a text box is recorded as caption + "|" + prompt.
    const QList<Shown>& shown() const { return fShown; }
    QStringList textsOf(Kind kind) const;
    const QList<Shown>& unexpected() const { return fUnexpected; }
    void clear();

    // Called on every box, after it is recorded (e.g. to act during a wait).
    std::function<void(const Shown&)> onShown;

    void Information(const QString& text) override;
    void Message(const QString& text) override;
    void Warning(const QString& text) override;
    Answer AskYesNo(const QString& text) override;
    // Recorded and answered as a YesNo box, with its details.
    Answer AskYesNoWithDetails(const QString& text, const QString& details) override;
    Answer AskAbortRetry(const QString& text) override;
    TextInput AskText(const QString& caption, const QString& prompt,
                      const QString& initialText) override;

private:
    void record(Kind kind, const QString& text, const QString& details = QString(),
                bool plain = false);
    QList<Answer> yesNo, abortRetry;
    QList<TextInput> texts;
    QList<Shown> fShown, fUnexpected;
    IUserPrompts* previous = nullptr;
};
