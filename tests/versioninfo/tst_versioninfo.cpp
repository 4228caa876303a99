// SPDX-License-Identifier: GPL-3.0-or-later
// The version strings: the compiled-in block and other sources.
#include "mvVersionInfo.h"

#include <QHash>
#include <QtTest>

namespace
{
class MapSource : public IVersionSource
{
public:
    QHash<QString, QString> values;
    mutable int queries = 0;
    std::optional<QString> Query(const QString& path) const override
    {
        ++queries;
        const auto it = values.constFind(path);
        return it == values.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }
};
} // namespace

class TestVersionInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compiledBlock()
    {
        TmvVersionInfo info;
        QCOMPARE(info.FileVersion(), QStringLiteral("1.4.1.1"));
        QCOMPARE(info.ProductVersion(), QStringLiteral("1.0.0.0"));
        QCOMPARE(info.FileDescription(), QStringLiteral("MERO"));
        QCOMPARE(info.ProductName(), QStringLiteral("MERO"));
        for (const QString& empty :
             {info.CompanyName(), info.InternalName(), info.LegalCopyright(), info.LegalTradeMark(),
              info.OriginalFileName(), info.Comments()})
            QVERIFY(empty.isEmpty());
        QCOMPARE(info.property("FileVersion").toString(), QStringLiteral("1.4.1.1"));
    }

    void onlyBlock040904E4IsRead()
    {
        MapSource source;
        for (int i = 0; i < VersionTypeCount; ++i)
            source.values.insert(QStringLiteral("StringFileInfo\\040904B0\\") +
                                     VersionKey(TVersionType(i)),
                                 QStringLiteral("x"));
        TmvVersionInfo info(nullptr, source);
        for (const char* name :
             {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
              "LegalTradeMark", "OriginalFileName", "ProductName", "ProductVersion", "Comments"})
            QVERIFY2(info.property(name).toString().isEmpty(), name);
    }

    void readOnceAtCreation()
    {
        MapSource source;
        const QString block = QStringLiteral("StringFileInfo\\040904E4\\");
        source.values.insert(block + QStringLiteral("FileVersion"), QStringLiteral("2.0.0.0"));
        source.values.insert(block + QStringLiteral("Comments"), QString());
        source.values.insert(block + QStringLiteral("CompanyName"),
                             QString::fromLatin1("Acme\0tail", 9));
        TmvVersionInfo info(nullptr, source);
        QCOMPARE(source.queries, VersionTypeCount);
        source.values.insert(block + QStringLiteral("FileVersion"), QStringLiteral("3.0.0.0"));
        QCOMPARE(info.FileVersion(), QStringLiteral("2.0.0.0"));
        QCOMPARE(info.FileVersion(), QStringLiteral("2.0.0.0"));
        QCOMPARE(source.queries, VersionTypeCount);
        QVERIFY(info.Comments().isEmpty());
        QCOMPARE(info.CompanyName(), QStringLiteral("Acme"));
        QVERIFY(info.ProductName().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
