// Salvaging the header page.
//
// The header names the format and the key that decrypts every other page, so
// a damaged header must not cost the database. When the signature is intact
// but its fields do not decode, or the signature itself is damaged while the
// pages still look like a Jet database, the format is recovered from the
// pages (jet/salvage/version_probe.h) and the rest takes the defaults Access itself
// writes (code page 1252, General sort order, no encryption, no password).
// A database key that garbles the catalog's definition while the plain page
// reads as one was damaged too and is dropped, and so is a code page no text
// converts from (it becomes 1252).
//
// What stays refused: ACE and MSISAM databases, whose signatures are intact
// and name another format, and files whose pages look like no Jet database.
#pragma once

#include "jet/base/file.h"
#include "jet/format/header.h"
#include "jet/salvage/salvage_log.h"

namespace jet {

// Reads or rebuilds the header of file, recording every change in log.
// Raises UnrecognisedFormat when the file is not a Jet 3 or Jet 4 database.
Header salvage_header(const File& file, SalvageLog& log);

}  // namespace jet
