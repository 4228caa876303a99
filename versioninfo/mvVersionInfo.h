// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <optional>

enum TVersionType {
    vtCompanyName,
    vtFileDescription,
    vtFileVersion,
    vtInternalName,
    vtLegalCopyright,
    vtLegalTradeMark,
    vtOriginalFileName,
    vtProductName,
    vtProductVersion,
    vtComments
};
inline constexpr int VersionTypeCount = vtComments + 1;

// Key looked up for a version type: its name without "vt".
QString VersionKey(TVersionType type);

// Where version strings come from. A value path is
// "StringFileInfo\<block>\<key>", e.g. "StringFileInfo\040904E4\FileVersion".
class IVersionSource
{
public:
    virtual ~IVersionSource() = default;
    // The string value at the path, nullopt when it does not exist.
    virtual std::optional<QString> Query(const QString& valuePath) const = 0;
};

// The program's own version block "040904E4", compiled in from the build
// (FileVersion = the project version, ProductVersion "1.0.0.0",
// FileDescription and ProductName "MERO").
const IVersionSource& CompiledVersionSource();

// Reads the ten strings of block "040904E4" once, at construction; a missing
// block or key reads empty. The source must outlive only the constructor.
class TmvVersionInfo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString CompanyName READ CompanyName CONSTANT)
    Q_PROPERTY(QString FileDescription READ FileDescription CONSTANT)
    Q_PROPERTY(QString FileVersion READ FileVersion CONSTANT)
    Q_PROPERTY(QString InternalName READ InternalName CONSTANT)
    Q_PROPERTY(QString LegalCopyright READ LegalCopyright CONSTANT)
    Q_PROPERTY(QString LegalTradeMark READ LegalTradeMark CONSTANT)
    Q_PROPERTY(QString OriginalFileName READ OriginalFileName CONSTANT)
    Q_PROPERTY(QString ProductName READ ProductName CONSTANT)
    Q_PROPERTY(QString ProductVersion READ ProductVersion CONSTANT)
    Q_PROPERTY(QString Comments READ Comments CONSTANT)

public:
    explicit TmvVersionInfo(QObject* AOwner = nullptr,
                            const IVersionSource& source = CompiledVersionSource());

    QString CompanyName() const { return GetVersionItem(vtCompanyName); }
    QString FileDescription() const { return GetVersionItem(vtFileDescription); }
    QString FileVersion() const { return GetVersionItem(vtFileVersion); }
    QString InternalName() const { return GetVersionItem(vtInternalName); }
    QString LegalCopyright() const { return GetVersionItem(vtLegalCopyright); }
    QString LegalTradeMark() const { return GetVersionItem(vtLegalTradeMark); }
    QString OriginalFileName() const { return GetVersionItem(vtOriginalFileName); }
    QString ProductName() const { return GetVersionItem(vtProductName); }
    QString ProductVersion() const { return GetVersionItem(vtProductVersion); }
    QString Comments() const { return GetVersionItem(vtComments); }

protected:
    virtual QString GetVersionItem(TVersionType Index) const;
    virtual void ReadVersionInfo(const IVersionSource& source);

private:
    std::array<QString, VersionTypeCount> FVersionInfo;
};
