// SPDX-License-Identifier: GPL-3.0-or-later
#include "mvVersionInfo.h"
#include "VersionBlock.h"

#include <QHash>

namespace
{

class CompiledSource : public IVersionSource
{
public:
    CompiledSource()
    {
        const QString prefix = QStringLiteral("StringFileInfo\\") +
                               QLatin1String(VersionBlock::Name) + QLatin1Char('\\');
        values.insert(prefix + QStringLiteral("FileVersion"),
                      QLatin1String(VersionBlock::FileVersion));
        values.insert(prefix + QStringLiteral("ProductVersion"),
                      QLatin1String(VersionBlock::ProductVersion));
        values.insert(prefix + QStringLiteral("FileDescription"),
                      QLatin1String(VersionBlock::FileDescription));
        values.insert(prefix + QStringLiteral("ProductName"),
                      QLatin1String(VersionBlock::ProductName));
    }
    std::optional<QString> Query(const QString& valuePath) const override
    {
        const auto it = values.constFind(valuePath);
        if (it == values.constEnd())
            return std::nullopt;
        return *it;
    }

private:
    QHash<QString, QString> values;
};

} // namespace

QString VersionKey(TVersionType type)
{
    static const char* const keys[VersionTypeCount] = {
        "CompanyName",    "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
        "LegalTradeMark", "OriginalFileName", "ProductName", "ProductVersion", "Comments"};
    return QLatin1String(keys[type]);
}

const IVersionSource& CompiledVersionSource()
{
    static const CompiledSource source;
    return source;
}

TmvVersionInfo::TmvVersionInfo(QObject* AOwner, const IVersionSource& source) : QObject(AOwner)
{
    ReadVersionInfo(source);
}

QString TmvVersionInfo::GetVersionItem(TVersionType Index) const
{
    return FVersionInfo[Index];
}

void TmvVersionInfo::ReadVersionInfo(const IVersionSource& source)
{
    for (int i = 0; i < VersionTypeCount; ++i) {
        const auto type = static_cast<TVersionType>(i);
        const auto value =
            source.Query(QStringLiteral("StringFileInfo\\040904E4\\") + VersionKey(type));
        QString text = value.value_or(QString());
        // The text ends at its first NUL, as the resource strings do.
        if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
            text.truncate(nul);
        FVersionInfo[i] = text;
    }
}
