#include "jet/base/error.h"

namespace jet {

const char* to_string(ErrorCode code) {
  switch (code) {
    case ErrorCode::UnrecognisedFormat: return "unrecognised format";
    case ErrorCode::Corrupt: return "corrupt";
    case ErrorCode::Io: return "I/O error";
    case ErrorCode::FileInUse: return "file already in use";
    case ErrorCode::ReadOnly: return "file is read-only";
    case ErrorCode::NotFound: return "not found";
    case ErrorCode::AlreadyExists: return "already exists";
    case ErrorCode::Unsupported: return "unsupported";
    case ErrorCode::InvalidArgument: return "invalid argument";
    case ErrorCode::LimitExceeded: return "limit exceeded";
  }
  return "error";
}

namespace {

std::string describe(const Location& where, const std::string& message) {
  std::string text;
  if (where.page) text += "page " + std::to_string(*where.page) + ": ";
  if (!where.structure.empty()) text += where.structure;
  if (!where.field.empty()) text += (where.structure.empty() ? "" : ", ") + where.field;
  if (!where.structure.empty() || !where.field.empty()) text += ": ";
  return text + message;
}

}  // namespace

Error::Error(ErrorCode code, const std::string& message)
    : std::runtime_error(message), code_(code), message_(message) {}

Error::Error(ErrorCode code, Location where, const std::string& message)
    : std::runtime_error(describe(where, message)),
      code_(code),
      where_(std::move(where)),
      message_(message) {}

void throw_corrupt(std::uint32_t page, const std::string& structure, const std::string& field,
                   const std::string& what) {
  throw Error(ErrorCode::Corrupt, Location{page, structure, field}, what);
}

}  // namespace jet
