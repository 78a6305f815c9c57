// Column values as JSON, in the canonical forms of jet::canonical_text:
// Boolean as true/false, null as null, whole numbers and Single/Double as
// numbers (text for NaN and the infinities, which JSON lacks), everything
// else (Currency, Decimal, Date/Time, Binary, OLE, GUID, Text, Memo) as text.
#pragma once

#include <nlohmann/json.hpp>

#include "jet/format/value.h"

namespace jetdb {

nlohmann::ordered_json to_json(const jet::Value& value);

}  // namespace jetdb
