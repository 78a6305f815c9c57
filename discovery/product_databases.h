// Where the products keep their data files, and the start-up search that
// offers the ones that exist in the path box.
#pragma once

#include <array>
#include <string>

#include "platform/file_system.h"
#include "platform/special_folders.h"
#include "platform/user_interface.h"

namespace dbrepair {

inline constexpr int kProductCount = 7;
inline constexpr int kCandidateCount = 29;

// Product folder, "data" and the file name, relative to a root folder.
const std::array<std::string, kProductCount>& ProductDatabases();

// Placed between a root folder and a product folder in groups 2 to 4.
inline constexpr const char* CompanyFolder = "Corvane Software/";

// The product file outside every special folder, relative to drive c:.
inline constexpr const char* kFixedCandidate = "tarrow software/penwick office/data/pw.mdb";

// The roots of the four groups, each a folder with its trailing "/" or the
// empty text, and the folder standing for drive c: likewise.
struct CandidateRoots {
  std::string documents;
  std::string programFiles;
  std::string commonAppData;
  std::string fourth;
  std::string driveC;
};

// The roots as the special folders give them.
CandidateRoots LookUpCandidateRoots(SpecialFolders& folders);

// Entries 1 to 29 (index 0 to 28): documents & row, program files & company
// & row, common application data & company & row, fourth root & company &
// row, then drive c: & the fixed path (the empty text without a drive c:).
std::array<std::string, kCandidateCount> CandidatePaths(const CandidateRoots& roots);

// Fills the path box with every candidate that exists (as spelt on disk),
// selects the first and shows the "No Files Found" or "Multiple Files Found"
// notice.
void DiscoverProductDatabases(UserInterface& ui, SpecialFolders& folders, FileSystem& files);

}  // namespace dbrepair
