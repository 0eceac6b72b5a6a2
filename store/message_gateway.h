// What the gateway keeps on a message record, in one text property: whether
// the broker has acknowledged it (a received message) or its result (a
// message a send request put in the Outbox), and for such a message the
// request's id and state. Records the gateway never saw have none.
#pragma once

#include <string>

#include <windbase.h>

// Far from the other message properties, so that properties added to them
// later cannot meet it.
const CEPROPID KMessageGatewayProp = 0x40001F;

enum TKvRequestState {
  EKvRequestNone = 0,  // not from a request
  EKvRequestPending,   // in the Outbox, not sent yet
  EKvRequestSent,
  EKvRequestFailed,
};

struct TKvGatewayMark {
  bool iPublished = false;
  TKvRequestState iRequest = EKvRequestNone;
  bool iReport = false;
  std::string iRequestId;  // UTF-8, as the request gave it
};

// The stored text ("g1;..."). A received message the gateway has seen and
// not yet published has the mark with nothing set.
std::u16string FormatGatewayMark(const TKvGatewayMark& aMark);
// A damaged or unknown text gives the empty mark.
TKvGatewayMark ParseGatewayMark(const std::u16string& aText);
