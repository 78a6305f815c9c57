// The run-time error an operation raises, as the tests compare it.
#pragma once

#include <functional>

#include "platform/runtime_error.h"

namespace dbrepair::testing {

// The number of the RuntimeError that operation raises; 0 when it raises none.
inline int ErrorNumberOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const RuntimeError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace dbrepair::testing
