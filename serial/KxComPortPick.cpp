#include "KxComPort.h"
#include "PickPortForm.h"

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
        for (int n = FirstPort; n <= LastPort; ++n) {
            FPortNumber = n;
            FShowErrors = false;
            if (Open())
                dialog->AddPort(n, DevicePath(n));
        }
        // Leave no probe open: the caller opens the chosen port itself.
        Close();
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
