// SPDX-License-Identifier: GPL-3.0-or-later
// Fault drill: USERNAME holding "/" or control characters. Started with
// -log, the program either writes its log under the exact name in the working
// directory or shows the log message once and writes nothing anywhere; a
// name never reaches a file elsewhere.
#include "../app/WindowFixture.h"

#include "CommLog.h"
#include "SavedEnvironment.h"
#include "ScriptedPrompts.h"

#include <QAction>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// File names are bytes here (a Latin-1 user name is no UTF-8), so the tree
// is walked and removed with the plain system calls.
void WalkFiles(const QByteArray& dir, QList<QByteArray>& files)
{
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = dir + '/' + name;
        struct stat st {
        };
        if (::lstat(path.constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            WalkFiles(path, files);
        else
            files << path;
    }
    ::closedir(d);
}
void RemoveFiles(const QByteArray& dir)
{
    QList<QByteArray> files;
    WalkFiles(dir, files);
    for (const QByteArray& f : files)
        ::unlink(f.constData());
}
} // namespace

class TestDrillLogNames : public QObject
{
    Q_OBJECT

    TSavedEnvironment user{"USERNAME"};

private Q_SLOTS:

    void userNameInLogFileName_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << QByteArray("opsuser") << true;
        QTest::newRow("blank") << QByteArray("ops user") << true;
        QTest::newRow("two dots") << QByteArray("..") << true;
        QTest::newRow("Latin-1 letter") << QByteArray("J\xFCrgen") << true;
        QTest::newRow("UTF-8 letter") << QByteArray("J\xC3\xBCrgen") << true;
        QTest::newRow("slash inside") << QByteArray("ops/admin") << false;
        QTest::newRow("trailing slash") << QByteArray("ops/") << false;
        QTest::newRow("absolute path") << QByteArray("/tmp/mero-drill") << false;
        QTest::newRow("parent directories") << QByteArray("../../escape") << false;
        QTest::newRow("tab") << QByteArray("a\tb") << false;
        QTest::newRow("carriage return") << QByteArray("a\rb") << false;
        QTest::newRow("line feed") << QByteArray("a\nb") << false;
        QTest::newRow("escape sequence") << QByteArray("a\x1B[31mred") << false;
        QTest::newRow("DEL") << QByteArray("a\x7F") << false;
        QTest::newRow("SOH") << QByteArray("\x01") << false;
    }
    void userNameInLogFileName()
    {
        QFETCH(QByteArray, user);
        QFETCH(bool, valid);
        QTemporaryDir root;
        const QString run = root.filePath(QStringLiteral("run"));
        QDir().mkpath(run);
        // The folders an unguarded name would write into exist, so only the
        // name check keeps a file out of them.
        for (const char* sub : {"MEROControllerLogFile_ops", "MEROControllerLogFile_/tmp",
                                "MEROControllerLogFile_..", "MEROControllerLogFile_../.."})
            QDir(run).mkpath(QString::fromLatin1(sub));
        const QString oldCwd = QDir::currentPath();
        QDir::setCurrent(run);
        qputenv("USERNAME", user);
        // Also when a check fails: QTemporaryDir cannot remove a name that is
        // not UTF-8.
        const auto restore = qScopeGuard([&] {
            appState().Reset();
            QDir::setCurrent(oldCwd);
            RemoveFiles(QFile::encodeName(root.path()));
        });

        appState().Reset();
        {
            ScriptedKeys keys;
            keys.left = true; // demo mode: no unit needed
            ScriptedPrompts prompts;
            TMERO_App w;
            w.Arguments = QStringList{"mero", "-log"};
            w.FormCreate(&w);
            QVERIFY(w.DemoMode());

            const QByteArray name =
                "MEROControllerLogFile_" + user + "_" + appState().LogStamp + ".txt";
            QCOMPARE(appState().LogFile.BoundName(), name);
            const QByteArray rootPath = QFile::encodeName(root.path());
            const QByteArray runPath = QFile::encodeName(run);
            QList<QByteArray> files;
            WalkFiles(rootPath, files);
            QCOMPARE(appState().LoggingEnabled, valid);
            QCOMPARE(w.findChild<QAction*>("EnableLoggingMenu")->isChecked(), valid);
            if (valid) {
                QCOMPARE(files, QList<QByteArray>{runPath + '/' + name});
                // Read through the relative name, as the program wrote it.
                FILE* log = ::fopen(name.constData(), "rb");
                QVERIFY(log);
                char head[32] = {};
                QVERIFY(::fread(head, 1, 23, log) == 23);
                ::fclose(log);
                QCOMPARE(QByteArray(head), QByteArray("Communication Log File "));
                QVERIFY(prompts.textsOf(ScriptedPrompts::Kind::Warning).isEmpty());
            } else {
                QCOMPARE(files, QList<QByteArray>());
                QVERIFY(!QFile::exists(QStringLiteral("/tmp/mero-drill_") +
                                       QString::fromLatin1(appState().LogStamp) +
                                       QStringLiteral(".txt")));
                QCOMPARE(prompts.textsOf(ScriptedPrompts::Kind::Warning),
                         QStringList{LogFailureMessage()});
            }
            QCOMPARE(prompts.textsOf(ScriptedPrompts::Kind::Information),
                     QStringList{"Entering Demo Mode"});
            QVERIFY(prompts.unexpected().isEmpty());
        }
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestDrillLogNames test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_drill_lognames.moc"
