// SPDX-License-Identifier: GPL-3.0-or-later
// The system's serial devices: Qt Serial Port enumerates them (and nothing
// else of it is used; the port itself is TKxComPort), /dev/serial/by-id gives
// their stable names.
#include "PortInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace
{

class SystemSource : public IPortInfoSource
{
public:
    QList<TPortRecord> Ports() const override
    {
        // by-id links, keyed by the device file they name.
        QHash<QString, QString> byId;
        const QDir dir(QStringLiteral("/dev/serial/by-id"));
        for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files))
            byId.insert(link.canonicalFilePath(), link.absoluteFilePath());

        QList<TPortRecord> out;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            TPortRecord r;
            r.systemLocation = info.systemLocation();
            r.description = info.description();
            r.manufacturer = info.manufacturer();
            r.serialNumber = info.serialNumber();
            r.hasIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
            r.vendorId = info.vendorIdentifier();
            r.productId = info.productIdentifier();
            r.byIdPath = byId.value(CanonicalPath(r.systemLocation));
            out << r;
        }
        return out;
    }
    QString CanonicalPath(const QString& path) const override
    {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? path : canonical;
    }
};

} // namespace

const IPortInfoSource& SystemPortInfoSource()
{
    static const SystemSource source;
    return source;
}
