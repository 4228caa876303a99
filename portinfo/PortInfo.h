// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// One serial device as the system lists it. Any field may be empty.
struct TPortRecord {
    QString systemLocation; // device file, e.g. /dev/ttyUSB0
    QString description;    // product text, e.g. "FT232R USB UART"
    QString manufacturer;
    QString serialNumber;
    bool hasIds = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
    QString byIdPath; // stable /dev/serial/by-id/... link naming this device
};

// Where port facts come from; tests install their own list.
class IPortInfoSource
{
public:
    virtual ~IPortInfoSource() = default;
    // Serial devices the system knows (pseudo-terminals are not among them).
    virtual QList<TPortRecord> Ports() const = 0;
    // The device file a path names once every link is followed; the path
    // itself when it names nothing.
    virtual QString CanonicalPath(const QString& path) const = 0;
};

// The source in force: the system's (Qt Serial Port plus /dev/serial/by-id)
// unless another one was installed.
const IPortInfoSource& PortInfoSource();
// Installs a source for the whole process (not owned); nullptr restores the
// system's. Returns the one installed before (nullptr for the system's).
const IPortInfoSource* InstallPortInfoSource(const IPortInfoSource* source);

// What a port is, in words an operator recognises.
struct TPortDescription {
    QString devicePath;    // as asked (e.g. $MERO_COM_DIR/COM3)
    QString canonicalPath; // the device file behind it (e.g. /dev/pts/4)
    QString kind;          // "USB serial adapter", "pseudo-terminal", ...
    TPortRecord record;    // what the system listed for it (may be empty)
    bool pseudoTerminal = false;

    // One line: "FT232R USB UART (FTDI, serial A50285BI)", or the kind when
    // the device says nothing about itself. Escaped and bounded.
    QString Summary() const;
    // Several lines for a tool tip: path, by-id name, kind, manufacturer,
    // product, serial number, USB ids; lines without a value are left out.
    QString Details() const;
};

// Describes the device behind each path with the facts of source (listed once).
QList<TPortDescription> DescribePorts(const QList<QString>& devicePaths,
                                      const IPortInfoSource& source = PortInfoSource());
TPortDescription DescribePort(const QString& devicePath,
                              const IPortInfoSource& source = PortInfoSource());
