// USSD: a code sent to the network ("*100#") and the text it answers with,
// which may be a menu waiting for an answer.
#pragma once

#include "kernel/descriptors.h"

// A USSD string: 1 to this many digits, "*" and "#".
inline constexpr int KUssdCodeLength = 40;
// 160 octets of packed septets hold 182 characters.
inline constexpr int KUssdTextLength = 200;
// How long the network may take to answer.
inline constexpr int KUssdTimeout = 60000;

// The reply's first field.
enum TUssdStatus {
  EUssdNone = -1,  // no reply (yet)
  EUssdDone = 0,
  EUssdMenu = 1,  // the network waits for an answer
  EUssdEndedByNetwork = 2,
  EUssdOtherClient = 3,
  EUssdNotSupported = 4,
  EUssdNetworkTimeout = 5,
};

// Not a USSD string; nothing was sent.
inline constexpr int KErrUssdNotCode = -69;
// The network gave no reply within the time limit; the session was cancelled.
inline constexpr int KErrUssdTimedOut = -70;

// The character set replies in plain text arrive in.
enum TUssdCharset { EUssdCharsetGsm, EUssdCharset8859, EUssdCharsetUcs2 };

struct TUssdReply {
  int iStatus = EUssdNone;
  int iScheme = -1;  // the data coding scheme; -1 when the line gave none
  TModBuf16<KUssdTextLength> iText;
};

// While a USSD string is out: the command's OK and the network's reply may
// come in either order.
struct TUssdWait {
  bool iOkSeen = false;
  bool iArrived = false;
  TUssdReply* iReply = nullptr;
};

bool IsUssdString(const TDesc16& aText);

// A "+CUSD: m[,"text"[,dcs]]" line into aReply, the text decoded by its
// scheme: packed septets or UTF-16 as hexadecimal, or plain text in aCharset.
// False when the line has no status.
bool ParseUssdLine(const TDesc16& aLine, TUssdCharset aCharset, TUssdReply& aReply);

// The text of a reply field by its data coding scheme (-1: none given).
void DecodeUssdText(const TDesc16& aRaw, int aScheme, TUssdCharset aCharset, TModDesc16& aText);
