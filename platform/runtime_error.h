// A run-time error as the handlers see it: a 32-bit signed number and a
// description, raised by the platform's file operations, the dialog and the
// database facades, and caught by the handlers' error traps.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace dbrepair {

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(std::int32_t number, const std::string& description)
      : std::runtime_error(description), number_(number), description_(description) {}

  std::int32_t Number() const { return number_; }
  const std::string& Description() const { return description_; }

 private:
  std::int32_t number_;
  std::string description_;
};

}  // namespace dbrepair
