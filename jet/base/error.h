// Errors raised by the Jet engine.
//
// Every failure to decode a structure names where it happened: the page, the
// structure and the field, so that a report on a damaged file says exactly
// which byte disagreed. Callers that need to react to a kind of failure (the
// DAO facade maps UnrecognisedFormat to 3343, FileInUse to 3045) switch on
// code(); everything else is shown to the user through what().
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace jet {

enum class ErrorCode {
  UnrecognisedFormat,  // not a Jet 3 or Jet 4 database (ACE, MSISAM, anything else)
  Corrupt,             // a structure does not decode
  Io,                  // the file system failed (read, write, sync, rename)
  FileInUse,           // another program holds the database open
  ReadOnly,            // the database is marked read-only: it may not be replaced
  NotFound,            // a named table, file or object does not exist
  AlreadyExists,       // a destination that must be new exists
  Unsupported,         // valid, but beyond what this engine does
  InvalidArgument,     // the caller asked for something meaningless
  LimitExceeded,       // a size or count beyond the engine's bounds
};

const char* to_string(ErrorCode code);

// Where in the file a decode failure happened. Any field may be unknown.
struct Location {
  std::optional<std::uint32_t> page;
  std::string structure;  // "table definition", "data page", "index leaf", ...
  std::string field;      // "row count", "column 3 name length", ...
};

class Error : public std::runtime_error {
 public:
  Error(ErrorCode code, const std::string& message);
  Error(ErrorCode code, Location where, const std::string& message);

  ErrorCode code() const { return code_; }
  const Location& where() const { return where_; }
  // The message alone, without the location prefix that what() carries.
  const std::string& message() const { return message_; }

 private:
  ErrorCode code_;
  Location where_;
  std::string message_;
};

// Shorthand for the most common failure: a field of a structure on a page
// holds a value that cannot be right.
[[noreturn]] void throw_corrupt(std::uint32_t page, const std::string& structure,
                                const std::string& field, const std::string& what);

}  // namespace jet
