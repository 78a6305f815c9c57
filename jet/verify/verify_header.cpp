// Header checks: the fields of page 0 that can be out of range, and the file
// size against the page size.
#include <algorithm>
#include <array>
#include <cstring>

#include "jet/verify/verify_context.h"

namespace jet {

namespace {

// Bytes 0x18-0x2F of the unmasked header: constants every Access version
// writes.
constexpr std::size_t kConstantsOffset = 0x18;
constexpr std::array<std::uint8_t, 24> kConstants{0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0,
                                                  3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};

// The Windows ANSI code pages a Jet database may be written in.
constexpr std::array<std::uint16_t, 14> kKnownCodePages{874,  932,  936,  949,  950,  1250, 1251,
                                                        1252, 1253, 1254, 1255, 1256, 1257, 1258};

}  // namespace

void check_header(VerifyContext& context, Bytes page0) {
  const Header& header = context.header();
  if (std::uint32_t trailing = context.pager().trailing_bytes()) {
    context.add(Severity::Error, context.page_count(), "file", "size",
                "the file ends " + std::to_string(trailing) +
                    " bytes into this page: the last page is incomplete");
  }

  std::vector<std::uint8_t> plain(page0.begin(), page0.end());
  apply_header_mask(header.version, plain);
  if (!std::equal(kConstants.begin(), kConstants.end(), plain.begin() + kConstantsOffset)) {
    context.add(Severity::Warning, 0, "header", "constants at 0x18",
                "differ from the constants Access writes");
  }

  if (std::find(kKnownCodePages.begin(), kKnownCodePages.end(), header.code_page) ==
      kKnownCodePages.end()) {
    context.add(header.version == Version::Jet3 ? Severity::Error : Severity::Warning, 0, "header",
                "code page",
                std::to_string(header.code_page) + " is no Windows code page" +
                    (header.version == Version::Jet3 ? ": the database's text cannot be read" : ""));
  }
}

}  // namespace jet
