// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// How the scripted unit answers a line: pieces sent one after another, each
// after its own delay (ms, counted from the previous piece or from the line).
struct PtyReply {
    struct Piece {
        int delayMs = 0;
        QByteArray bytes;
    };
    QList<Piece> pieces;

    static PtyReply Now(const QByteArray& bytes) { return {{{0, bytes}}}; }
    static PtyReply After(int ms, const QByteArray& bytes) { return {{{ms, bytes}}}; }
    static PtyReply InPieces(const QList<QByteArray>& parts, int gapMs);
    static PtyReply None() { return {}; }
};

// A scripted unit on a pseudo-terminal, linked as $MERO_COM_DIR/COM<n>.
//
// The first PtyUnit of a process creates a temporary directory and sets
// MERO_COM_DIR to it for the rest of the process. The unit keeps its own
// slave descriptor open in raw mode (never flocked), so the port can be
// closed and re-opened at will. A thread reads what the port writes, records
// it, splits it into lines at LF (a trailing CR is dropped) and answers each
// line by the first matching rule, so answers come also while the port waits
// with AllowEvents off. All methods are thread-safe.
//
//     PtyUnit unit(3);
//     unit.onLine(";DC:ID?", "Acme,2740,123,1.0\r\n");
class PtyUnit
{
public:
    explicit PtyUnit(int comNumber);
    ~PtyUnit();
    PtyUnit(const PtyUnit&) = delete;
    PtyUnit& operator=(const PtyUnit&) = delete;

    static QString comDir(); // the MERO_COM_DIR of this process
    int comNumber() const { return com; }
    QString linkPath() const;  // $MERO_COM_DIR/COM<n>
    QString slavePath() const; // /dev/pts/N

    // Answer every occurrence of the line (rules are tried in the order given).
    PtyUnit& onLine(const QByteArray& line, const QByteArray& reply);
    PtyUnit& onLine(const QByteArray& line, const PtyReply& reply);
    // Answer computed per line (runs on the unit's thread); nullopt = next rule.
    PtyUnit& onAnyLine(std::function<std::optional<PtyReply>(const QByteArray& line)> rule);
    void clearRules();

    // Sends bytes now / after ms, unasked.
    void send(const QByteArray& bytes);
    void sendAfter(int ms, const QByteArray& bytes);

    QByteArray received() const;     // every byte received so far
    QList<QByteArray> lines() const; // complete lines received, without CR LF
    void clearReceived();
    // Waits (up to timeoutMs) until at least n lines were received.
    bool waitForLines(int n, int timeoutMs = 5000) const;

    // The device vanishes: the link and the master are closed, so an open
    // port sees a hang-up.
    void unplug();
    // Removes only the COM<n> link (the port "does not exist" any more).
    void removeLink();
    // After afterMs the device vanishes as with unplug(); goneMs later it is
    // back on the same link with a new pseudo-terminal, rules kept. Runs on
    // the unit's thread, so it happens also while the port waits.
    void flicker(int afterMs, int goneMs);

private:
    struct Rule;
    void run();
    void handleLine(const QByteArray& line);
    void schedule(const PtyReply& reply);
    void openPty(); // with the mutex held or before the thread runs

    int com;
    int master = -1;
    int slave = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    QString slaveName;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    QByteArray rx;
    QByteArray partialLine;
    QList<QByteArray> rxLines;
    QList<std::shared_ptr<Rule>> rules;
    struct Pending {
        qint64 dueUs; // steady clock
        QByteArray bytes;
    };
    std::deque<Pending> pending; // in due order
    QByteArray outBuffer;
    bool stopping = false;
    bool unplugged = false;
    qint64 goneAtUs = -1; // the flicker, steady clock
    qint64 backAtUs = -1;
    std::thread worker;
};
