// Profiles by name: "--profile demo" means the demo profile that comes with
// phonesim, wherever phonesim is installed.
#pragma once

#include <string>

namespace phonesim {

// A name without a slash or ".json" that is not a file in the current folder
// becomes NAME.json in the folder of bundled profiles: share/korvanet/phonesim
// beside the running program's bin folder, or, for a phonesim run from its
// build folder, the source tree's profiles. Anything else is a path, as given.
std::string FindProfile(const std::string& nameOrPath);

}  // namespace phonesim
