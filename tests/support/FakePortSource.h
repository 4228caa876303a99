// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortInfo.h"

#include <QFileInfo>
#include <QHash>

// A port list supplied by a test. Paths mapped with link() resolve to the
// given device file; every other path resolves as on this machine, so a
// PtyUnit still shows as the pseudo-terminal it is. Installed while it lives.
class FakePortSource : public IPortInfoSource
{
public:
    FakePortSource() { previous = InstallPortInfoSource(this); }
    ~FakePortSource() override { InstallPortInfoSource(previous); }
    FakePortSource(const FakePortSource&) = delete;
    FakePortSource& operator=(const FakePortSource&) = delete;

    QList<TPortRecord> records;
    void link(const QString& path, const QString& device) { links.insert(path, device); }

    QList<TPortRecord> Ports() const override { return records; }
    QString CanonicalPath(const QString& path) const override
    {
        if (links.contains(path))
            return links.value(path);
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? path : canonical;
    }

    // Typical devices, as Qt Serial Port reports them.
    static TPortRecord Ftdi()
    {
        return {"/dev/ttyUSB0", "FT232R USB UART",
                "FTDI",         "A50285BI",
                true,           0x0403,
                0x6001,         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
    }
    static TPortRecord CdcAcm()
    {
        return {"/dev/ttyACM0", "Pico",
                "Raspberry Pi", "E66138935F4B6B2C",
                true,           0x2e8a,
                0x000a,         "/dev/serial/by-id/usb-Raspberry_Pi_Pico_E66138935F4B6B2C-if00"};
    }
    static TPortRecord BuiltIn() { return {"/dev/ttyS0", "", "", "", false, 0, 0, ""}; }

private:
    QHash<QString, QString> links;
    const IPortInfoSource* previous = nullptr;
};
