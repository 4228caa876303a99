// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pieces shared by the whole-program tests: a private X server, the virtual
// unit and the real program as separate processes, and the outside view of
// the screen through xdotool. Every process is started and stopped by its
// own object, by its own process id, never by name.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMessageBox>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <sys/types.h>

namespace e2e
{

// A program next to the running test program (build/bin).
QString Bin(const QString& name);

// The first of Xvfb, xdotool, import and xprop that is not installed, or empty.
QString MissingTool();

// Why this test program cannot drive the real programs (no private X server),
// or empty when it can.
QString NotReady();

// Xvfb on a free display, started with -noreset so that keys held with
// `xdotool keydown` stay held while clients come and go. Start() uses plain
// fork/exec, so it works before a QCoreApplication exists; the server is
// stopped by the destructor at the latest.
class XServer
{
public:
    XServer() = default;
    ~XServer() { Stop(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool Start();
    void Stop();
    QString Display() const { return display; }

private:
    pid_t pid = -1;
    QString display;
};

// Starts the X server and, when it runs, points DISPLAY at it and selects
// the xcb platform for the application object created next; without it the
// tests see the offscreen platform and skip.
bool StartPrivateX(XServer& server);

// Ends a process: SIGTERM, then SIGKILL when it has not ended in 5 s.
void Stop(QProcess& process);

// One line of the virtual unit's trace: time in µs, "RX" or "TX", the text
// with control bytes written as \xHH.
struct TraceLine {
    qint64 us = 0;
    QByteArray kind;
    QByteArray text;
};

// mero-sim serving COM<port> in a directory, with a trace file there.
class SimUnit
{
public:
    ~SimUnit() { Stop(); }
    // Waits until the unit's link exists; false when it never appears.
    bool Start(const QString& comDir, int port, const QStringList& extra = {});
    void Stop();
    QString TracePath() const { return trace; }

    QList<TraceLine> Trace() const;
    QList<QByteArray> Received() const;
    // Replies as MERO reads them: line end and escapes of CR and LF removed.
    QList<QByteArray> Replies() const;

private:
    void KeepTrace();

    QProcess process;
    QString trace;
    bool kept = false;
};

// The real program under the private X server.
class MeroRun
{
public:
    ~MeroRun() { Stop(); }
    bool Start(const QString& display, const QString& comDir, const QStringList& args = {},
               const QStringList& extraEnv = {});
    void Stop();
    QProcess& Process() { return process; }
    bool Running() const { return process.state() != QProcess::NotRunning; }

private:
    QProcess process;
};

// The screen as another client sees it.
class Screen
{
public:
    explicit Screen(QString display) : display(std::move(display)) {}
    QString Display() const { return display; }

    // Runs a tool on this display; its trimmed output, empty after 10 s.
    QByteArray Run(const QString& program, const QStringList& args, int* exitCode = nullptr) const;

    // Ids of the visible windows whose title is exactly this text, or
    // matches this regular expression.
    QStringList Windows(const QString& title) const;
    QStringList WindowsMatching(const QString& pattern) const;
    // The first such window, polling until the deadline; each pass also
    // calls `check`, so a caller can watch for something that must not happen.
    QString WaitForWindow(const QString& title, int ms = 30000,
                          const std::function<void()>& check = {}) const;

    // Keys through XTEST to the focused window (a window ignores synthetic
    // events sent to it), after giving it the focus.
    void Key(const QString& window, const QString& keys) const;
    void KeyDown(const QString& key) const;
    void KeyUp(const QString& key) const;

    // True when the window shows, pixel for pixel, what a message box with
    // this icon, text and buttons shows on this display: the test program
    // (a QApplication on this display) puts one up beside it to compare.
    // With details, the reference has them too, collapsed behind its
    // "Show Details..." button.
    bool ShowsBox(const QString& window, QMessageBox::Icon icon, const QString& text,
                  QMessageBox::StandardButtons buttons, const QString& details = {}) const;

    QImage Shot(const QString& window, const QString& file) const;

private:
    QString display;
};

// The child of a window with this object name; ends the test program when there is none.
template <typename T> T* Child(const QObject* window, const char* name)
{
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no control %s", name);
    return child;
}

// Runs xdotool with these arguments and keeps the event loop of this program going
// meanwhile (a window of this program must go on reacting); true when it ended with 0
// within 10 s.
bool Xdo(const QStringList& args);

} // namespace e2e

// main() of a whole-program test: the private X server outlives the
// application object App (QApplication or a subclass) that connects to it.
#define MERO_E2E_MAIN(App, TestObject)                                                             \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        e2e::XServer x;                                                                            \
        e2e::StartPrivateX(x);                                                                     \
        App app(argc, argv);                                                                       \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
