// A contact as the exchange formats carry it, in UTF-8 with LF line ends.
#pragma once

#include <string>

namespace kvexchange {

struct TContactRecord {
  std::string iName;
  std::string iNumber;
  std::string iDetails;
  std::string iStore;    // "sim", "phone", "both", or "" when the file does not say
  int iLocation = -1;    // in that phone book; -1 when not on the phone
  // Where it came from in the file ("card 3, line 20"), for messages.
  std::string iWhere;
  // Why it cannot be imported; empty when it can.
  std::string iRefusal;
};

}  // namespace kvexchange

namespace kvexchange {

// Sets the phone book ("sim", "phone", "both", any case) and, with it, the
// location a file gives; anything else leaves the contact's place unset.
void SetPlace(TContactRecord& aContact, const std::string& aStore, const std::string& aLocation);
// The name on one line: line breaks and other control characters become
// spaces, so that no file can put a command on the phone's line through it.
std::string OneLineName(const std::string& aName);
// Makes the name one line, then fills the refusal of a contact that cannot go
// into a phone book: no name, no number, or aWritten (the number as the file
// wrote it) not storable.
void CheckStorable(TContactRecord& aContact, const std::string& aWritten);

}  // namespace kvexchange
