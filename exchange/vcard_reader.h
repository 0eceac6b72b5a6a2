// Reads vCards 2.1, 3.0 and 4.0 as address books write them: folded lines,
// quoted-printable and CHARSET= (2.1), several numbers, grouped properties
// (Apple's item1.TEL with its X-ABLabel); photos and whatever else a card
// holds beyond a name, numbers and notes are passed over.
#pragma once

#include <string>
#include <vector>

#include "exchange/contact_record.h"

namespace kvexchange {

// Every card in file order. The number kept is the mobile one (the preferred
// among several), else the preferred, else the first; the other numbers join
// the details as "work: 0123...". A card that cannot become a contact has its
// refusal set. False, with aError, when the file holds no card or ends inside one.
bool ReadVCards(const std::string& aText, std::vector<TContactRecord>& aCards, std::string& aError);

}  // namespace kvexchange
