// SPDX-License-Identifier: GPL-3.0-or-later
// The installed tree and the Debian package hold the program, the virtual
// unit, the desktop entry and its icons, and nothing from the test or
// benchmark builds.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

struct Result {
    int code = -1;
    QByteArray out;
};

Result Run(const QString& program, const QStringList& args, int ms = 60000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Result r;
    if (p.waitForFinished(ms) && p.exitStatus() == QProcess::NormalExit)
        r.code = p.exitCode();
    r.out = p.readAll();
    return r;
}

// Files below root, relative to it, sorted.
QStringList Tree(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    // Checks an installed tree below prefix (usr-like: bin, share).
    void CheckTree(const QString& prefix)
    {
        const QDir root(prefix);
        // Only the program and the virtual unit are installed as programs.
        QCOMPARE(QDir(root.filePath("bin")).entryList(QDir::Files, QDir::Name),
                 (QStringList{"mero", "mero-sim"}));
        for (const char* program : {"bin/mero", "bin/mero-sim"})
            QVERIFY2(QFileInfo(root.filePath(program)).isExecutable(), program);
        const Result help = Run(root.filePath("bin/mero-sim"), {"--help"});
        QCOMPARE(help.code, 0);

        QFile desktop(root.filePath("share/applications/mero.desktop"));
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QList<QByteArray> entry = desktop.readAll().split('\n');
        for (const QByteArray line :
             {"[Desktop Entry]", "Type=Application", "Exec=mero", "Icon=mero"})
            QVERIFY2(entry.contains(line), line.constData());
        const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
        if (!validate.isEmpty()) {
            const Result v = Run(validate, {desktop.fileName()});
            QVERIFY2(v.code == 0 && v.out.trimmed().isEmpty(), v.out);
        }

        // Debian's conventions: manual pages, licence terms, changelog, AppStream.
        for (const char* page : {"share/man/man1/mero.1.gz", "share/man/man1/mero-sim.1.gz"}) {
            const QString path = root.filePath(page);
            QVERIFY2(QFileInfo::exists(path), page);
            if (QStandardPaths::findExecutable("man").isEmpty())
                continue;
            QProcess man;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("MANWIDTH", "80");
            man.setProcessEnvironment(env);
            man.start("man", {"--warnings", "-l", path});
            QVERIFY(man.waitForFinished(30000));
            QCOMPARE(man.exitCode(), 0);
            const QByteArray text = man.readAllStandardOutput();
            QVERIFY2(man.readAllStandardError().isEmpty(), page);
            for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "SEE ALSO"})
                QVERIFY2(text.contains(section), section);
            QVERIFY(text.contains("--version"));
        }
        QFile copyright(root.filePath("share/doc/mero/copyright"));
        QVERIFY(copyright.open(QIODevice::ReadOnly));
        const QByteArray terms = copyright.readAll();
        QVERIFY(terms.startsWith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
        QVERIFY(terms.contains("License: GPL-3+"));
        QVERIFY(QFileInfo::exists(root.filePath("share/doc/mero/changelog.gz")));
        const QString metainfo = root.filePath("share/metainfo/invalid.mero.MERO.metainfo.xml");
        QVERIFY(QFileInfo::exists(metainfo));
        const QString appstream = QStandardPaths::findExecutable("appstreamcli");
        if (!appstream.isEmpty()) {
            const Result v = Run(appstream, {"validate", "--no-net", metainfo});
            QVERIFY2(v.code == 0, v.out);
        }

        const QString icons = root.filePath("share/icons/hicolor");
        QFile svg(icons + "/scalable/apps/mero.svg");
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains("<svg"));
        for (const int size : {48, 128, 256}) {
            const QImage png(QStringLiteral("%1/%2x%2/apps/mero.png").arg(icons).arg(size));
            QCOMPARE(png.size(), QSize(size, size));
            QVERIFY(png.hasAlphaChannel());
        }
    }

private Q_SLOTS:
    void installTree()
    {
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        const Result r = Run(MERO_CMAKE, {"--install", MERO_BUILD_DIR, "--prefix", prefix.path()});
        QVERIFY2(r.code == 0, r.out);
        CheckTree(prefix.path());
        if (QTest::currentTestFailed())
            qInfo().noquote() << Tree(prefix.path()).join('\n');
    }

    void debianPackage()
    {
        const QString dpkgDeb = QStandardPaths::findExecutable("dpkg-deb");
        if (dpkgDeb.isEmpty() || !QFileInfo::exists(MERO_CPACK))
            QSKIP("cpack or dpkg-deb not installed");
        const Result arch = Run("dpkg", {"--print-architecture"});
        QCOMPARE(arch.code, 0);

        QTemporaryDir out;
        QVERIFY(out.isValid());
        const Result pack = Run(MERO_CPACK,
                                {"-G", "DEB", "--config",
                                 QString(MERO_BUILD_DIR) + "/CPackConfig.cmake", "-B", out.path()},
                                120000);
        QVERIFY2(pack.code == 0, pack.out);
        const QString deb =
            out.filePath(QStringLiteral("mero_%1_%2.deb")
                             .arg(MERO_VERSION, QString::fromLatin1(arch.out.trimmed())));
        QVERIFY2(QFileInfo::exists(deb), qPrintable(QDir(out.path()).entryList().join(' ')));

        auto field = [&](const QString& name) {
            return Run(dpkgDeb, {"-f", deb, name}).out.trimmed();
        };
        QCOMPARE(field("Package"), QByteArray("mero"));
        QCOMPARE(field("Version"), QByteArray(MERO_VERSION));
        QCOMPARE(field("Architecture"), arch.out.trimmed());
        QCOMPARE(field("Maintainer"), QByteArray("MERO developers <noreply@mero.invalid>"));
        QVERIFY(!field("Section").isEmpty());
        QVERIFY(field("Description").contains("laser-diode"));
        const QByteArray depends = field("Depends");
        for (const char* dep : {"libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libx11-6",
                                "qt6-qpa-plugins"})
            QVERIFY2(depends.contains(dep), depends);

        // The long description in Debian's form: every line indented, none
        // too long, an empty line written as " .".
        const QList<QByteArray> description = field("Description").split('\n');
        QVERIFY(description.size() > 3);
        for (const QByteArray& line : description.mid(1)) {
            QVERIFY2(line.startsWith(' ') && line.size() <= 80, line);
            QVERIFY2(!line.trimmed().isEmpty(), "empty line not written as \" .\"");
        }
        QVERIFY(description.contains(" ."));

        // lintian: no error; warnings are listed for the release notes.
        const QString lintian = QStandardPaths::findExecutable("lintian");
        if (!lintian.isEmpty()) {
            const Result l = Run(lintian, {deb}, 120000);
            QList<QByteArray> errors;
            for (const QByteArray& line : l.out.split('\n')) {
                if (line.startsWith("E: "))
                    errors << line;
                else if (line.startsWith("W: "))
                    qInfo("lintian %s", line.constData());
            }
            QVERIFY2(errors.isEmpty(), errors.join('\n').constData());
        }

        const QString root = out.filePath("root");
        const Result x = Run(dpkgDeb, {"-x", deb, root});
        QVERIFY2(x.code == 0, x.out);
        CheckTree(root + "/usr");
        if (QTest::currentTestFailed())
            qInfo().noquote() << Tree(root).join('\n');
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
