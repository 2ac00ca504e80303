// The inspection report as JSON (docs/inspect.md).
#pragma once

#include <nlohmann/json.hpp>

#include "inspect.h"

namespace pelterra {

// The same figures as ReportText; a figure that does not exist is null.
nlohmann::ordered_json ReportJson(const InspectReport& r);

}  // namespace pelterra
