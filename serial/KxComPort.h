// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class TformPickPort;
class TKxComPort;

enum THandshake { hsNone = 0, hsHardware = 1, hsAssertAll = 2 };
enum TParity { parNone = 0, parEven = 1, parOdd = 2 };

using TNotifyEvent = std::function<void(TKxComPort* Sender)>;

// One serial port, reached by number n ("COM n"). See DevicePath for the
// mapping to a device file.
//
// Contract, in short:
// - Open closes an open port first, then opens with exclusive access
//   (flock + TIOCEXCL) and applies raw 8N1 line settings with the component's
//   Baud, Parity and Handshaking. With ShowErrors a failed open asks
//   "Error opening COM<n>: " with Abort/Retry through UserPrompts(); without
//   it a failure is final after one try. A port whose settings cannot be
//   applied stays open.
// - Read: with an EndOfResponse, waits (sleeping in poll(2), at most a few ms
//   per pass) until the decoded end-of-response bytes occur in the reply or
//   ResponseTime ms pass (monotonic clock). With AllowEvents, pending Qt events
//   are dispatched after each pass and OnTimeout fires on a timeout; with
//   ShowErrors a timeout asks "Timeout waiting for response." (Retry keeps the
//   bytes and waits on). A hang-up or error of the device ends the wait like a
//   timeout. A reply keeps at most MaxReplyBytes; later bytes are discarded
//   while the wait goes on. Without an EndOfResponse, returns what is waiting.
// - A write or read that fails with an error or a hang-up of the device
//   (EIO, ENXIO, POLLHUP...) marks the link failed: Failed() stays true and
//   LinkFailed is emitted once, until the port is opened or closed again.
// - InUse is true only inside Read/ReadRaw; a nested Read/ReadRaw is refused
//   (empty result, "Port is in use -- operation aborted" with ShowErrors).
//   Write/Flush/Open/Close are never refused: callers test InUse themselves.
// - Read, ReadRaw, Write and WriteRaw open a closed port themselves.
// - Setters of Baud, Handshaking, Parity and Port do nothing for an unchanged
//   value, else store and re-open when open.
// All calls on the GUI thread. The destructor closes the port.
class TKxComPort : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool AllowEvents READ AllowEvents WRITE SetAllowEvents)
    Q_PROPERTY(int Baud READ Baud WRITE SetBaud)
    Q_PROPERTY(QByteArray EndOfResponse READ EndOfResponse WRITE SetEndOfResponse)
    Q_PROPERTY(int Handshaking READ Handshaking WRITE SetHandshakingInt)
    Q_PROPERTY(int Parity READ Parity WRITE SetParityInt)
    Q_PROPERTY(int InCount READ InCount)
    Q_PROPERTY(bool State READ State)
    Q_PROPERTY(bool InUse READ InUse)
    Q_PROPERTY(quint32 ResponseTime READ ResponseTime WRITE SetResponseTime)
    Q_PROPERTY(bool Opened READ Opened)
    Q_PROPERTY(int Port READ Port WRITE SetPort)
    Q_PROPERTY(bool ShowErrors READ ShowErrors WRITE SetShowErrors)
    Q_PROPERTY(bool TimedOut READ TimedOut)
    Q_PROPERTY(QByteArray Version READ Version WRITE SetVersion)

public:
    static constexpr qsizetype MaxReplyBytes = 64 * 1024;

    explicit TKxComPort(QObject* AOwner = nullptr);
    ~TKxComPort() override;

    // Device file of port n: $MERO_COM_DIR/COM<n> when MERO_COM_DIR is set,
    // else /dev/ttyS0-31 (1-32), ttyUSB0-31 (33-64), ttyACM0-31 (65-96),
    // ttyAMA0-3 (97-100); empty for numbers outside 1..100 without MERO_COM_DIR.
    static QString DevicePath(int port);

    bool AllowEvents() const { return FAllowEvents; }
    void SetAllowEvents(bool value) { FAllowEvents = value; }
    int Baud() const { return FBaudRate; }
    void SetBaud(int value);
    QByteArray EndOfResponse() const { return FEndOfResponse; }
    void SetEndOfResponse(const QByteArray& value);
    QByteArray EndOfResponseRaw() const { return FEndOfResponseRaw; } // decoded bytes
    THandshake Handshaking() const { return FHandshake; }
    void SetHandshaking(THandshake value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity value);
    int InCount() const; // bytes waiting in the driver's input queue; 0 when closed
    bool State() const;  // the line settings can be read from the open port
    bool InUse() const { return FPortInUse; }
    quint32 ResponseTime() const { return FResponseTime; }
    void SetResponseTime(quint32 ms) { FResponseTime = ms; }
    const TNotifyEvent& OnTimeout() const { return FOnTimeout; }
    void SetOnTimeout(TNotifyEvent handler) { FOnTimeout = std::move(handler); }
    bool Opened() const { return FPortHandle >= 0; }
    int Port() const { return FPortNumber; }
    void SetPort(int value);
    bool ShowErrors() const { return FShowErrors; }
    void SetShowErrors(bool value) { FShowErrors = value; }
    bool TimedOut() const { return FTimedOut; }
    QByteArray Version() const { return FVersion; }
    void SetVersion(const QByteArray&) {} // read-only in effect

    bool Open();
    // Why the last Open failed: the errno of the failing step (open or the
    // exclusive lock), 0 after a successful one. A port whose line settings
    // could not be applied is open and shows LastSetupFailed.
    int LastOpenError() const { return FLastOpenError; }
    bool LastSetupFailed() const { return FLastSetupFailed; }
    void Close();
    void Flush(); // discards both driver queues
    // After a terminated Read that timed out on this open port, the reply it
    // waited for may still be on its way. Waits until the line has been quiet
    // for LateReplyQuietMs (at most LateReplyMaxMs in all), discarding what
    // arrives, so that a reply that came just too late is never taken as the
    // answer to the next line (also across a close and re-open of the same
    // port). Does nothing on a closed port, after any other Read, after the
    // port number changed or when called twice. Like a reply wait, it marks the port in use
    // and, with AllowEvents, dispatches events between passes.
    // Returns what it dropped; *quiet tells whether the line fell quiet.
    QByteArray DiscardLateReply(bool* quiet = nullptr);
    bool LateReplyPossible() const { return FLateReplyPossible; }
    // Long enough for a reply that just missed its deadline to come in, also
    // from a unit that takes tens of milliseconds to answer.
    static constexpr int LateReplyQuietMs = 100;
    static constexpr int LateReplyMaxMs = 1000;
    // Waits until nothing has arrived for quietMs (at most maxMs in all), and
    // returns what arrived meanwhile (at most MaxReplyBytes), which nobody
    // reads; *quiet tells whether the line did fall quiet. Marks the port in
    // use and dispatches events like a reply wait; nothing on a closed port
    // or while in use.
    QByteArray WaitQuiet(int quietMs, int maxMs, bool* quiet = nullptr);
    // Reads and returns the bytes waiting (at most MaxReplyBytes), then
    // discards both driver queues.
    QByteArray TakeWaiting();
    // Whether the open port still reaches the device it was opened on: no
    // hang-up or error, the line settings readable, and the device path still
    // names the same device. Never closes, unlocks or re-opens the port (so
    // no other program can slip in, and the modem lines stay as they are); a
    // closed port is opened, as Open does. A failed test marks the link failed.
    bool StillPresent();
    bool Failed() const { return FFailed; }
    QByteArray Read();
    // Reads the waiting bytes, at most capacity, into buffer; returns the count.
    qsizetype ReadRaw(char* buffer, qsizetype capacity);
    bool Write(const QByteArray& sData); // loops until written or ResponseTime passed
    bool WriteRaw(const char* bData, quint32 bSize);

    // Lets the operator choose a port from those that open (port picker
    // dialog); true with Port set to the choice. Built in serial/ with
    // TformPickPort; until then it returns false.
    bool Pick();

    // Open descriptor or -1; for diagnostics and tests only.
    int Handle() const { return FPortHandle; }

Q_SIGNALS:
    // The device failed or vanished under an open port; see Failed().
    void LinkFailed();

private:
    void SetHandshakingInt(int v) { SetHandshaking(static_cast<THandshake>(v)); }
    void SetParityInt(int v) { SetParity(static_cast<TParity>(v)); }
    bool OpenOnce();
    bool ApplySettings();
    void ReopenIfOpen();
    qsizetype ReadWaiting(QByteArray& result, bool& endOfResponseSeen, bool& deviceGone);
    void MarkFailed();

    bool FAllowEvents = false;
    int FBaudRate = 9600;
    THandshake FHandshake = hsNone;
    TParity FParity = parNone;
    QByteArray FEndOfResponse;
    QByteArray FEndOfResponseRaw;
    int FPortHandle = -1;
    bool FPortInUse = false;
    int FPortNumber = 1;
    TformPickPort* FPickPortDlg = nullptr;
    quint32 FResponseTime = 1000;
    bool FShowErrors = true;
    bool FTimedOut = false;
    bool FLateReplyPossible = false; // see DiscardLateReply
    int FLastOpenError = 0;
    bool FLastSetupFailed = false;
    bool FFailed = false;
    const QByteArray FVersion = QByteArrayLiteral("2.0.2");
    TNotifyEvent FOnTimeout;
    // Last bytes of the reply stream, so an end-of-response split across
    // reads is found even after the kept reply is full.
    QByteArray tail;
};

// Decodes an end-of-response text: literal characters up to the first '#',
// then "#<decimal code>" escapes; a bad escape gives the text unchanged.
QByteArray DecodeEndOfResponse(const QByteArray& text);
