#include "json_value.h"

#include <cmath>

namespace jetdb {

nlohmann::ordered_json to_json(const jet::Value& value) {
  return std::visit(
      [&](const auto& x) -> nlohmann::ordered_json {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return nullptr;
        } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::uint8_t> ||
                             std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>) {
          return x;
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          if (!std::isfinite(x)) return jet::canonical_text(value);
          // The shortest text that reads back as the same number, as a JSON
          // number: a Single prints as 1.1, not as its widened double.
          return nlohmann::ordered_json::parse(jet::canonical_text(value));
        } else {
          return jet::canonical_text(value);
        }
      },
      value.data);
}

}  // namespace jetdb
