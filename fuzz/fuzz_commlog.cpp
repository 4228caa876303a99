// SPDX-License-Identifier: GPL-3.0-or-later
// The communication log: CommLog::FileName, Rewrite and WriteLine, and the
// line forms, with random user names, stamps, texts and times. Files go to a
// scratch directory that is the working directory of the run.
//
// Asserts: a file is created exactly when its name is a plain local name (no
// "/", no control character, not too long) and then only inside the scratch
// directory, nowhere else; the file holds the header and every written line
// complete, in order, each as its Latin-1 text (one "?" per character beyond
// U+00FF) plus CR LF, and nothing else; the line forms start with their fixed
// words and a "hh:mm:ss.zzz" stamp.

#include "CommLog.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

std::string outerDir; // holds only "work"
std::string workDir;  // the working directory of the run

std::vector<std::string> Entries(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    FUZZ_CHECK(d != nullptr);
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    ::closedir(d);
    return names;
}

QByteArray ReadAll(const QByteArray& name)
{
    QByteArray out;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    char buf[4096];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        FUZZ_CHECK(r >= 0);
        if (r == 0)
            break;
        out.append(buf, r);
    }
    ::close(fd);
    return out;
}

// One byte per character; a surrogate pair is one character.
QByteArray RefLatin1(const QString& s)
{
    QByteArray out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t u = s[i].unicode();
        if (u <= 0xFF) {
            out += char(u);
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        out += '?';
    }
    return out;
}

QString Text(FuzzedDataProvider& in, std::size_t max)
{
    const std::string b = in.ConsumeRandomLengthString(max);
    if (in.ConsumeBool())
        return QString::fromLatin1(b.data(), qsizetype(b.size()));
    return QString(reinterpret_cast<const QChar*>(b.data()), qsizetype(b.size() / 2));
}

bool StampShape(const QString& s)
{
    if (s.size() != 12)
        return false;
    for (int i = 0; i < 12; ++i) {
        const QChar c = s[i];
        const bool ok = (i == 2 || i == 5) ? c == u':' : i == 8 ? c == u'.' : c.isDigit();
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/mero-fuzz-log.XXXXXX";
    FUZZ_CHECK(::mkdtemp(base.data()) != nullptr);
    outerDir = base;
    workDir = base + "/work";
    FUZZ_CHECK(::mkdir(workDir.c_str(), 0700) == 0);
    FUZZ_CHECK(::chdir(workDir.c_str()) == 0);
    // The scratch directories go when the run ends.
    std::atexit([] {
        for (const auto& n : Entries(workDir))
            ::unlink((workDir + "/" + n).c_str());
        ::rmdir(workDir.c_str());
        ::rmdir(outerDir.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string user = in.ConsumeRandomLengthString(300);
    const std::string stamp =
        in.ConsumeBool() ? std::string("12-10-26_03-04-05") : in.ConsumeRandomLengthString(40);
    const int ms = in.ConsumeIntegralInRange<int>(0, 86399999);
    const QTime t = QTime::fromMSecsSinceStartOfDay(ms);

    // The line forms.
    const QString word = Text(in, 64);
    const QString ts = TimeStamp(t);
    FUZZ_CHECK(StampShape(ts));
    FUZZ_CHECK(LogSentLine(word, t) ==
               QStringLiteral("Sent    (") + ts + QStringLiteral("): ") + word);
    FUZZ_CHECK(LogReceivedLine(word, t) ==
               QStringLiteral("Received(") + ts + QStringLiteral("): ") + word);
    FUZZ_CHECK(LogExceptionLine(t) == QStringLiteral("Exception Error. (") + ts + u')');
    FUZZ_CHECK(
        LogCommandDisabledLine(word, t).startsWith(QStringLiteral("Command Disabled:    (") + ts));
    FUZZ_CHECK(LogComportInUseLine(word, t).startsWith(QStringLiteral("Comport in use: (") + ts));

    // The file name.
    const QByteArray userName(user.data(), qsizetype(user.size()));
    const QByteArray logStamp(stamp.data(), qsizetype(stamp.size()));
    const QByteArray name = CommLog::FileName(userName, logStamp);
    FUZZ_CHECK(name == "MEROControllerLogFile_" + userName + "_" + logStamp + ".txt");
    bool plain = name.size() <= 255;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        plain &= c != '/' && u >= 0x20 && u != 0x7F;
    }

    FUZZ_CHECK(Entries(workDir).empty());
    CommLog log;
    log.Bind(name);
    const QDateTime now(QDate(2026, 12, 10), t);
    const bool opened = log.Rewrite(now);
    FUZZ_CHECK(opened == plain);
    FUZZ_CHECK(log.IsOpen() == opened);
    const auto outer = Entries(outerDir);
    FUZZ_CHECK(outer.size() == 1 && outer[0] == "work");
    const auto inner = Entries(workDir);
    if (!opened) {
        FUZZ_CHECK(inner.empty());
        FUZZ_CHECK(!log.WriteLine(word));
        return 0;
    }
    FUZZ_CHECK(inner.size() == 1 && inner[0] == name.toStdString());

    QByteArray expected = RefLatin1(LogHeaderLine(now)) + "\r\n";
    while (in.remaining_bytes() > 0) {
        const QString line = Text(in, 200);
        FUZZ_CHECK(log.WriteLine(line));
        expected += RefLatin1(line) + "\r\n";
    }
    // Each line is in the file as soon as WriteLine returns.
    FUZZ_CHECK(ReadAll(name) == expected);
    log.Close();
    FUZZ_CHECK(!log.IsOpen());
    FUZZ_CHECK(::unlink(name.constData()) == 0);
    return 0;
}
