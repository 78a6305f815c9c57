#include "jet/salvage/salvage_header.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "jet/base/text.h"
#include "jet/read/pager.h"
#include "jet/salvage/version_probe.h"

namespace jet {

namespace {

constexpr const char kDatabaseTable[] = "";  // header losses belong to no table

bool names_another_format(Bytes start) {
  static constexpr const char* kOthers[] = {"Standard ACE DB", "MSISAM Database"};
  for (const char* other : kOthers) {
    if (start.size() >= 4 + std::strlen(other) && std::memcmp(start.data() + 4, other, std::strlen(other)) == 0) {
      return true;
    }
  }
  return false;
}

// Whether page 2, decrypted with key, starts like a table definition.
bool catalog_reads_with(const File& file, Version version, std::uint32_t key) {
  std::uint32_t size = page_size(version);
  if (file.size() < 3ull * size) return false;
  std::vector<std::uint8_t> page(size);
  file.read_at(2ull * size, page);
  if (key != 0) crypt_page(key, 2, page);
  return page[0] == static_cast<std::uint8_t>(PageType::TableDefinition) && page[1] == kPageMark;
}

Header rebuilt_header(const File& file, const std::string& why, SalvageLog& log) {
  auto version = guess_version(gather_version_evidence(file));
  if (!version) {
    throw Error(ErrorCode::UnrecognisedFormat, Location{0, "header", "signature"},
                why + ", and its pages look like no Jet 3 or Jet 4 database");
  }
  Header header;
  header.version = *version;
  log.record(SalvageCode::HeaderRebuilt, kDatabaseTable,
             "The header page could not be read (" + why + "); the format " + std::string(to_string(*version)) +
                 " was recovered from the pages, and code page, sort order and password were reset");
  return header;
}

// Whether texts stored in code_page convert at all. Every code page Access
// writes does; one no converter knows is a damaged field, and keeping it
// would lose every text of a Jet 3 file and stop the writer.
bool code_page_converts(std::uint16_t code_page) {
  static constexpr std::uint8_t kSample[] = {'A'};
  try {
    codepage_to_utf8(kSample, code_page);
    return true;
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Unsupported) return false;
    throw;
  }
}

}  // namespace

Header salvage_header(const File& file, SalvageLog& log) {
  std::vector<std::uint8_t> start(std::min<std::uint64_t>(file.size(), kHeaderBytes));
  file.read_at(0, start);
  if (names_another_format(start)) detect_version(start);  // raises, naming the format

  Header header;
  try {
    detect_version(start);
    header = decode_header(start);
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    header = rebuilt_header(file, e.message(), log);
  }
  // A damaged version byte can name the other format; in an unencrypted file
  // the catalog's definition tells which one the pages are laid out in.
  if (header.database_key == 0) {
    VersionEvidence evidence = gather_version_evidence(file, 8);
    bool jet3_pages = evidence.jet3_catalog_definition && !evidence.jet4_catalog_definition;
    bool jet4_pages = evidence.jet4_catalog_definition && !evidence.jet3_catalog_definition;
    if ((header.version == Version::Jet4 && jet3_pages) || (header.version == Version::Jet3 && jet4_pages)) {
      header = rebuilt_header(file, "its version byte names a format its pages are not laid out in", log);
    }
  }
  if (file.size() < 3ull * page_size(header.version)) {
    throw Error(ErrorCode::UnrecognisedFormat, Location{0, "header", "file size"},
                "the file is shorter than three pages and cannot be a Jet database");
  }
  if (!code_page_converts(header.code_page)) {
    log.record(SalvageCode::HeaderRebuilt, kDatabaseTable,
               "The header's code page " + std::to_string(header.code_page) +
                   " is none that texts can be read in; it was reset to 1252");
    header.code_page = Header{}.code_page;
  }
  // A password a writer cannot store again (a Jet 3 byte its code page
  // leaves undefined) would stop the repair at its last step: it is cleared.
  try {
    encode_header(header);
  } catch (const Error& e) {
    if (e.code() != ErrorCode::InvalidArgument && e.code() != ErrorCode::LimitExceeded) throw;
    header.password.clear();
    log.record(SalvageCode::HeaderRebuilt, kDatabaseTable,
               "The header's password cannot be stored again (" + e.message() + "); it was cleared");
  }
  if (header.database_key != 0 && !catalog_reads_with(file, header.version, header.database_key) &&
      catalog_reads_with(file, header.version, 0)) {
    header.database_key = 0;
    log.record(SalvageCode::HeaderRebuilt, kDatabaseTable,
               "The header's database key did not decrypt the pages, which are stored unencrypted; "
               "the key was cleared");
  }
  return header;
}

}  // namespace jet
