#include "discovery/product_databases.h"

#include <algorithm>

#include "fileutil/file_queries.h"
#include "fileutil/parse_path.h"

namespace dbrepair {

const std::array<std::string, kProductCount>& ProductDatabases() {
  static const std::array<std::string, kProductCount> rows = {
      "kelvara directory/data/kvdir.mdb", "kelvara scorebook/data/kvsbk.mdb",
      "kelvara planner/data/kvpln.mdb",   "kelvara tally/data/kvtly.mdb",
      "kelvara logbook/data/kvlog.mdb",   "kelvara register/data/kvreg.mdb",
      "penwick office/data/pw.mdb",
  };
  return rows;
}

namespace {

// The tables above are written with "/"; on Windows a path is written with
// "\\" as the user knows it (a Windows root holds no "/" of its own).
std::string WithNativeSeparators(std::string path) {
  if (kNativePathStyle == PathStyle::Windows) std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

}  // namespace

CandidateRoots LookUpCandidateRoots(SpecialFolders& folders) {
  CandidateRoots roots;
  // Each root once, before any path is built. The fourth group searches the
  // 32-bit program files, so that no path can be listed twice.
  roots.documents = GetSpecialFolderPath(folders, kFolderPersonal);
  roots.commonAppData = GetSpecialFolderPath(folders, kFolderCommonAppData);
  roots.fourth = GetSpecialFolderPath(folders, kFolderProgramFilesX86);
  roots.programFiles = GetSpecialFolderPath(folders, kFolderProgramFiles);
  std::string drive = folders.DriveC();
  roots.driveC = drive.empty() ? "" : drive + "/";
  return roots;
}

std::array<std::string, kCandidateCount> CandidatePaths(const CandidateRoots& roots) {
  std::array<std::string, kCandidateCount> paths;
  const auto& rows = ProductDatabases();
  for (int r = 0; r < kProductCount; ++r) {
    paths[r] = roots.documents + rows[r];
    paths[r + 7] = roots.programFiles + CompanyFolder + rows[r];
    paths[r + 14] = roots.commonAppData + CompanyFolder + rows[r];
    paths[r + 21] = roots.fourth + CompanyFolder + rows[r];
  }
  // Without a drive c: the fixed path names nothing; joined to the empty
  // text it would name a file under the current folder instead.
  paths[28] = roots.driveC.empty() ? "" : roots.driveC + kFixedCandidate;
  for (std::string& path : paths) path = WithNativeSeparators(path);
  return paths;
}

void DiscoverProductDatabases(UserInterface& ui, SpecialFolders& folders, FileSystem& files) {
  for (const std::string& candidate : CandidatePaths(LookUpCandidateRoots(folders))) {
    if (files.FileExists(candidate)) ui.AppendItem(files.PathOnDisk(candidate));
  }
  if (ui.ItemCount() == 0) {
    ui.MsgBox(
        "No Corvane Software products were found in their default locations.  Use the Browse "
        "function to locate the database you wish to repair.",
        kButtonsOk, "No Files Found");
  } else {
    ui.SelectItem(0);
  }
  if (ui.ItemCount() > 1) {
    ui.MsgBox(
        "Multiple Corvane Software products were found on your computer.  Choose which database "
        "you wish to repair from the dropdown list on the next window.",
        kButtonsOk, "Multiple Files Found");
  }
}

}  // namespace dbrepair
