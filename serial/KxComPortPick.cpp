// SPDX-License-Identifier: GPL-3.0-or-later
#include "KxComPort.h"
#include "PickPortForm.h"
#include "PortInfo.h"
#include "PortProblem.h"

#include <QComboBox>
#include <QScopeGuard>
#include <memory>

namespace
{

constexpr int FirstPort = 1;
constexpr int LastPort = 100;
const QString ItemPrefix = QStringLiteral("COM");

QString ItemText(int port)
{
    return ItemPrefix + QString::number(port);
}

// The digits after "COM" of an item; 0 when the text is not of that form.
int PortOfItem(const QString& text)
{
    if (!text.startsWith(ItemPrefix))
        return 0;
    const QStringView digits = QStringView(text).sliced(ItemPrefix.size());
    if (digits.isEmpty())
        return 0;
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return 0;
    bool ok = false;
    const int port = digits.toInt(&ok);
    return ok ? port : 0;
}

struct TProblemPort {
    int number;
    TOpenProblem problem;
    int error;
};

// "COM33: permission denied" for one port, a count and the first few for more;
// the tool tip names each with its device and what to do.
void ShowProblems(TformPickPort& dialog, const QList<TProblemPort>& problems)
{
    if (problems.isEmpty())
        return;
    QStringList shortForms, details;
    for (const TProblemPort& p : problems) {
        const QString what = OpenProblemText(p.problem, p.error);
        shortForms << ItemText(p.number) + QStringLiteral(": ") + what;
        QString line = ItemText(p.number) + QStringLiteral(" (") +
                       TKxComPort::DevicePath(p.number) + QStringLiteral("): ") + what;
        if (p.problem == TOpenProblem::Busy) {
            const QString holders = HoldersText(FindPortHolders(TKxComPort::DevicePath(p.number)));
            if (!holders.isEmpty())
                line += QStringLiteral(": ") + holders;
        }
        if (const QString advice = OpenProblemAdvice(p.problem); !advice.isEmpty())
            line += QStringLiteral(": ") + advice;
        details << line;
    }
    const QString summary =
        problems.size() == 1
            ? shortForms.first()
            : QStringLiteral("%1 ports could not be opened: ").arg(problems.size()) +
                  shortForms.join(QStringLiteral("; "));
    dialog.ShowOpenProblems(summary, details.join(QLatin1Char('\n')));
}

} // namespace

bool TKxComPort::Pick()
{
    auto dialog = std::make_unique<TformPickPort>();
    FPickPortDlg = dialog.get();
    const auto forgetDialog = qScopeGuard([this] { FPickPortDlg = nullptr; });

    const bool savedShowErrors = FShowErrors;
    const int savedPort = FPortNumber;
    {
        // The number is set directly: the Port setter would re-open.
        const auto restore = qScopeGuard([&] {
            FShowErrors = savedShowErrors;
            FPortNumber = savedPort;
        });
        QList<int> found;
        QList<TProblemPort> problems;
        for (int n = FirstPort; n <= LastPort; ++n) {
            FPortNumber = n;
            FShowErrors = false;
            if (Open()) {
                found << n;
                continue;
            }
            const TOpenProblem problem = ClassifyOpenError(FLastOpenError);
            if (problem != TOpenProblem::NoDevice)
                problems << TProblemPort{n, problem, FLastOpenError};
        }
        // Leave no probe open: the caller opens the chosen port itself.
        Close();
        QList<QString> paths;
        for (const int n : found)
            paths << DevicePath(n);
        const QList<TPortDescription> descriptions = DescribePorts(paths);
        for (qsizetype i = 0; i < found.size(); ++i)
            dialog->AddPort(found[i], paths[i], descriptions[i].Summary(),
                            descriptions[i].Details());
        ShowProblems(*dialog, problems);
    }

    QComboBox* list = dialog->listPorts();
    list->setCurrentIndex(
        list->findText(ItemText(savedPort), Qt::MatchFixedString | Qt::MatchCaseSensitive));

    if (dialog->exec() != QDialog::Accepted || list->currentIndex() < 0)
        return false;
    const int chosen = PortOfItem(list->currentText());
    if (chosen <= 0)
        return false;
    SetPort(chosen);
    return true;
}
