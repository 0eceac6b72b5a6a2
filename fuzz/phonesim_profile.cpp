// The phone simulator's profiles: hand-written JSON that tests and users
// hand to phonesim.
//
// Properties:
//   - a profile that is refused says why, naming the file;
//   - a profile that loads is written back in a form that loads again and
//     is written back the same: nothing a profile can say is lost or changed
//     by a save and a load (the session's state file relies on that).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::string text(reinterpret_cast<const char*>(aData), aSize);
  phonesim::Profile profile;
  std::string error;
  if (!phonesim::ParseProfile(text, "fuzz.json", profile, error)) {
    FUZZ_CHECK(error.rfind("fuzz.json:", 0) == 0, "refusal \"%s\"", error.c_str());
    return 0;
  }
  const nlohmann::ordered_json saved = phonesim::ProfileToJson(profile);
  const std::string savedText = saved.dump(2);
  phonesim::Profile again;
  FUZZ_CHECK(phonesim::ParseProfile(savedText, "saved.json", again, error), "a saved profile is refused: %s\n%s",
             error.c_str(), savedText.substr(0, 2000).c_str());
  const std::string againText = phonesim::ProfileToJson(again).dump(2);
  FUZZ_CHECK(againText == savedText, "saved once:\n%s\nsaved again:\n%s", savedText.substr(0, 2000).c_str(),
             againText.substr(0, 2000).c_str());
  return 0;
}
