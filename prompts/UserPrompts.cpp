// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserPrompts.h"

#include <QInputDialog>
#include <QMessageBox>

namespace
{

class DialogPrompts : public IUserPrompts
{
public:
    void Information(const QString& text) override
    {
        QMessageBox::information(nullptr, PromptCaption(), text, QMessageBox::Ok);
    }
    void Message(const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, PromptCaption(), text, QMessageBox::Ok);
        box.exec();
    }
    void Warning(const QString& text) override
    {
        QMessageBox::warning(nullptr, PromptCaption(), text, QMessageBox::Ok);
    }
    Answer AskYesNo(const QString& text) override { return AskYesNoWithDetails(text, QString()); }
    Answer AskYesNoWithDetails(const QString& text, const QString& details) override
    {
        QMessageBox box(QMessageBox::Warning, PromptCaption(), text,
                        QMessageBox::Yes | QMessageBox::No);
        if (!details.isEmpty())
            box.setDetailedText(details);
        switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Other;
        }
    }
    Answer AskAbortRetry(const QString& text) override
    {
        QMessageBox box(QMessageBox::Warning, PromptCaption(), text,
                        QMessageBox::Abort | QMessageBox::Retry);
        return box.exec() == QMessageBox::Retry ? Answer::Retry : Answer::Abort;
    }
    TextInput AskText(const QString& caption, const QString& prompt,
                      const QString& initialText) override
    {
        TextInput result;
        result.text = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal,
                                            initialText, &result.ok);
        if (!result.ok)
            result.text.clear();
        return result;
    }
};

IUserPrompts* installed = nullptr;

} // namespace

IUserPrompts& UserPrompts()
{
    static DialogPrompts dialogs;
    return installed ? *installed : dialogs;
}

IUserPrompts* InstallUserPrompts(IUserPrompts* prompts)
{
    IUserPrompts* before = installed;
    installed = prompts;
    return before;
}

QString PromptCaption()
{
    return QStringLiteral("MERO Application");
}
