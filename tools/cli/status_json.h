// The phone's status as JSON: what 'status --json' prints and the gateway
// publishes. The phone's texts stay JSON strings, escaped when dumped.
#pragma once

#include <nlohmann/json.hpp>

#include "phone/phone_status.h"

namespace kvcli {

nlohmann::json StatusJson(const TPhoneStatus& aStatus);

}  // namespace kvcli
