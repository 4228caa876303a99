// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedPrompts.h"

ScriptedPrompts::ScriptedPrompts()
{
    previous = InstallUserPrompts(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    InstallUserPrompts(previous);
}

QStringList ScriptedPrompts::textsOf(Kind kind) const
{
    QStringList out;
    for (const Shown& s : fShown)
        if (s.kind == kind)
            out << s.text;
    return out;
}

void ScriptedPrompts::clear()
{
    yesNo.clear();
    abortRetry.clear();
    texts.clear();
    fShown.clear();
    fUnexpected.clear();
}

void ScriptedPrompts::record(Kind kind, const QString& text, const QString& details, bool plain)
{
    fShown.append({kind, text, details, plain});
    if (onShown)
        onShown(fShown.last());
}

void ScriptedPrompts::Information(const QString& text)
{
    record(Kind::Information, text);
}

void ScriptedPrompts::Message(const QString& text)
{
    record(Kind::Information, text, QString(), true);
}

void ScriptedPrompts::Warning(const QString& text)
{
    record(Kind::Warning, text);
}

IUserPrompts::Answer ScriptedPrompts::AskYesNo(const QString& text)
{
    return AskYesNoWithDetails(text, QString());
}

IUserPrompts::Answer ScriptedPrompts::AskYesNoWithDetails(const QString& text,
                                                          const QString& details)
{
    record(Kind::YesNo, text, details);
    if (yesNo.isEmpty()) {
        fUnexpected.append(fShown.last());
        return Answer::Other;
    }
    return yesNo.takeFirst();
}

IUserPrompts::Answer ScriptedPrompts::AskAbortRetry(const QString& text)
{
    record(Kind::AbortRetry, text);
    if (abortRetry.isEmpty()) {
        fUnexpected.append(fShown.last());
        return Answer::Abort;
    }
    return abortRetry.takeFirst();
}

IUserPrompts::TextInput ScriptedPrompts::AskText(const QString& caption, const QString& prompt,
                                                 const QString& initialText)
{
    Q_UNUSED(initialText);
    record(Kind::Text, caption + QLatin1Char('|') + prompt);
    if (texts.isEmpty()) {
        fUnexpected.append(fShown.last());
        return TextInput{};
    }
    return texts.takeFirst();
}
