// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ResponseEcho.h"

class QTextEdit;

// The response list as the transport's echo: each line is inserted as plain
// text in its colour (a reply such as "<b>" is shown as typed, never as
// markup) and the list scrolls to the newest line. The list keeps only its
// newest lines (its document's maximum block count).
class TResponseListEcho : public IResponseEcho
{
public:
    explicit TResponseListEcho(QTextEdit* list) : fList(list) {}

    void AppendLine(const QString& text, const QColor& colour) override;
    void Clear() override;

private:
    QTextEdit* fList;
};
