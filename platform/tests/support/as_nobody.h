// Running a piece of a test as a user without privileges, for what root is
// never refused.
#pragma once

#include <functional>
#include <optional>

namespace dbrepair::testing {

inline constexpr unsigned kNobody = 65534;

// Runs body in a child process that has become user and group nobody, and
// returns what it returned (0 to 255); nullopt when this process is not root
// or the child could not give up root.
std::optional<int> AsNobody(const std::function<int()>& body);

}  // namespace dbrepair::testing
