// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortInfo.h"

#include "EscapedText.h"

#include <QStringList>

namespace
{

// Long enough for any real product text, short enough for one list row.
constexpr qsizetype MaxFieldChars = 60;

const IPortInfoSource* installed = nullptr;

QString BaseName(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool HasPrefixAndNumber(const QString& name, QLatin1StringView prefix)
{
    if (!name.startsWith(prefix) || name.size() == prefix.size())
        return false;
    for (qsizetype i = prefix.size(); i < name.size(); ++i)
        if (!name[i].isDigit())
            return false;
    return true;
}

QString KindOf(const QString& canonical, bool& pseudoTerminal)
{
    pseudoTerminal =
        canonical.startsWith(QLatin1String("/dev/pts/")) || canonical == QLatin1String("/dev/ptmx");
    if (pseudoTerminal)
        return QStringLiteral("pseudo-terminal");
    const QString name = BaseName(canonical);
    if (HasPrefixAndNumber(name, QLatin1String("ttyUSB")))
        return QStringLiteral("USB serial adapter");
    if (HasPrefixAndNumber(name, QLatin1String("ttyACM")))
        return QStringLiteral("USB CDC-ACM device");
    if (HasPrefixAndNumber(name, QLatin1String("ttyS")))
        return QStringLiteral("built-in serial port");
    if (HasPrefixAndNumber(name, QLatin1String("ttyAMA")))
        return QStringLiteral("on-board UART");
    return QStringLiteral("serial device");
}

QString Field(const QString& text)
{
    return EscapedText(text.trimmed(), MaxFieldChars);
}

QString Hex4(quint16 v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

} // namespace

const IPortInfoSource& SystemPortInfoSource(); // SystemPortInfo.cpp

const IPortInfoSource& PortInfoSource()
{
    return installed ? *installed : SystemPortInfoSource();
}

const IPortInfoSource* InstallPortInfoSource(const IPortInfoSource* source)
{
    const IPortInfoSource* before = installed;
    installed = source;
    return before;
}

QList<TPortDescription> DescribePorts(const QList<QString>& devicePaths,
                                      const IPortInfoSource& source)
{
    QList<TPortDescription> out;
    if (devicePaths.isEmpty())
        return out;
    const QList<TPortRecord> records = source.Ports();
    for (const QString& devicePath : devicePaths) {
        TPortDescription d;
        d.devicePath = devicePath;
        d.canonicalPath = source.CanonicalPath(devicePath);
        if (d.canonicalPath.isEmpty())
            d.canonicalPath = devicePath;
        for (const TPortRecord& r : records) {
            if (r.systemLocation == d.canonicalPath ||
                source.CanonicalPath(r.systemLocation) == d.canonicalPath) {
                d.record = r;
                break;
            }
        }
        d.kind = KindOf(d.canonicalPath, d.pseudoTerminal);
        out << d;
    }
    return out;
}

TPortDescription DescribePort(const QString& devicePath, const IPortInfoSource& source)
{
    return DescribePorts({devicePath}, source).constFirst();
}

QString TPortDescription::Summary() const
{
    const QString product = Field(record.description);
    QStringList extra;
    if (const QString maker = Field(record.manufacturer); !maker.isEmpty())
        extra << maker;
    if (const QString serial = Field(record.serialNumber); !serial.isEmpty())
        extra << QStringLiteral("serial ") + serial;
    // A product text that only repeats the device name says nothing.
    const bool productSays =
        !product.isEmpty() && product != BaseName(canonicalPath) && product != BaseName(devicePath);
    QString head = productSays ? product : kind;
    if (pseudoTerminal)
        head = kind;
    if (extra.isEmpty())
        return head;
    return head + QStringLiteral(" (") + extra.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString TPortDescription::Details() const
{
    QStringList lines;
    const auto add = [&lines](const QString& label, const QString& value) {
        if (!value.isEmpty())
            lines << label + QStringLiteral(": ") + value;
    };
    add(QStringLiteral("Device"), EscapedText(devicePath, 200));
    if (canonicalPath != devicePath)
        add(QStringLiteral("Links to"), EscapedText(canonicalPath, 200));
    add(QStringLiteral("Stable name"), EscapedText(record.byIdPath, 200));
    add(QStringLiteral("Kind"), kind);
    add(QStringLiteral("Manufacturer"), Field(record.manufacturer));
    add(QStringLiteral("Product"), Field(record.description));
    add(QStringLiteral("Serial number"), Field(record.serialNumber));
    if (record.hasIds)
        add(QStringLiteral("USB vendor:product"),
            Hex4(record.vendorId) + QLatin1Char(':') + Hex4(record.productId));
    return lines.join(QLatin1Char('\n'));
}
