// vCard 3.0 (RFC 2426) and 4.0 (RFC 6350) cards, UTF-8, CR LF, lines folded
// at 75 octets.
#pragma once

#include <string>

#include "exchange/contact_record.h"

namespace kvexchange {

// One card: FN, N, TEL (cell), NOTE for the details, and the phone book and
// location as X-KORVANET-STORE and X-KORVANET-LOCATION.
std::string VCard(const TContactRecord& aContact, int aVersion);

}  // namespace kvexchange
