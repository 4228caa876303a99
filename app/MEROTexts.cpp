// SPDX-License-Identifier: GPL-3.0-or-later
#include "MEROTexts.h"

QString OtherUnitText(const TRestartUnit& lost, int port, const TIdentity& found)
{
    const QString was =
        lost.Model.isEmpty()
            ? QStringLiteral("The unit in use before the restart was not found on COM%1.")
                  .arg(lost.Port)
            : QStringLiteral("The unit in use before the restart was not found: model %1, "
                             "SN %2, last on COM%3.")
                  .arg(QString::fromLatin1(lost.Model))
                  .arg(lost.Serial)
                  .arg(lost.Port);
    const QString company = QString::fromLatin1(found.CompanyName);
    const QString other = QStringLiteral("Another unit answers on COM%1: %2model %3, SN %4.")
                              .arg(port)
                              .arg(company.isEmpty() ? QString() : company + QStringLiteral(", "))
                              .arg(QString::fromLatin1(found.ModelName))
                              .arg(found.SerialNumber);
    return was + QStringLiteral("\n\n") + other + QStringLiteral("\n\nUse this unit?");
}
