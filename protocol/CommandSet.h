// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The unit's vocabulary: every mnemonic the program itself sends, how the reply
// to its query is read and how the value of its set command is written. The
// table is the one place that knows a mnemonic's value form; setting handlers
// build their command texts through SetCommand / SetCommandText below and the
// transport adds the ";DC:" framing.

#include <QByteArrayView>
#include <QString>
#include <span>

// How the reply to "<mnemonic>?" is read (by QueryInteger, QueryFloat, QueryText).
enum TReplyKind { rkNone, rkInteger, rkNumber, rkText };

// How the value of a set command is written.
enum TValueForm {
    vfNone,           // never set by the program
    vfInteger,        // decimal integer (item indices, bin numbers)
    vfPattern,        // fixed-decimal pattern, TCommandInfo::Pattern
    vfGeneral,        // general number form of the value as it is
    vfGeneralRounded, // general number form of the value rounded to an integer
    vfTypedText,      // the operator's text exactly as typed
    vfFixed,          // a whole command chosen by the control ("TB 1", "EN 0")
};

struct TCommandInfo {
    const char* Mnemonic;
    const char* Meaning;
    TReplyKind Query;
    TValueForm Set;
    const char* Pattern; // for vfPattern only, else nullptr
    bool Extended;       // queried only on the extended variant (configuration code 1)
};

// The whole table, in the order of the unit's documentation.
std::span<const TCommandInfo> CommandSet();

// The entry of a mnemonic (case-sensitive, as on the wire), or nullptr.
const TCommandInfo* FindCommand(QByteArrayView mnemonic);

// mnemonic + " " + value in the mnemonic's numeric form. vfInteger and vfFixed
// write the value rounded like vfGeneralRounded (0 and 1 for a fixed choice).
// Empty when the mnemonic is unknown, takes no numeric value or the value is
// not finite; callers queue nothing then.
QString SetCommand(QByteArrayView mnemonic, double value);

// mnemonic + " " + typed for the vfTypedText mnemonics (CFG, SER, BDG). The
// text is cut at its first CR or LF so that a pasted line break can never put a
// second command on the wire. Empty for any other mnemonic.
QString SetCommandText(QByteArrayView mnemonic, const QString& typed);
