// The main window's controls as the form lays them out: positions and sizes
// in twips (1440 to the inch, 15 to a pixel at 96 dpi), captions and
// tooltips, in tab order.
#pragma once

#include <array>

#include "app/window/form_events.h"

namespace dbrepair::form_layout {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidth = 11490;
inline constexpr int kClientHeight = 1605;
inline constexpr const char* kTitle = "Database Repair Utility";

struct Place {
  int left, top, width, height;
};

inline constexpr const char* kLabelCaption = "Database Name:";
inline constexpr Place kLabel{240, 120, 1335, 255};

inline constexpr const char* kComboText = "Combo1";
inline constexpr const char* kComboTooltip = "Enter the full path to the database to be repaired";
inline constexpr Place kCombo{240, 360, 9615, 315};

struct Button {
  const char* name;
  const char* caption;
  const char* tooltip;
  Place place;
  FormEvent click;
};

inline constexpr int kButtonWidth = 1095;
inline constexpr int kButtonHeight = 375;

// Tab order: Repair, Cancel, Browse..., then the path box, then Restore New,
// Restore Old and Create Blank; so the path box's turn comes after the third
// button (kComboTabPosition).
inline constexpr std::array<Button, 6> kButtons{{
    {"Command1", "Repair", "Repair the Current Database", {5280, 960, kButtonWidth, kButtonHeight},
     FormEvent::RepairClick},
    {"Command2", "Cancel", "Exit the program", {10080, 960, kButtonWidth, kButtonHeight}, FormEvent::CancelClick},
    {"CommandBrowse", "Browse...", "Browse for the database file", {10080, 360, kButtonWidth, kButtonHeight},
     FormEvent::BrowseClick},
    {"cmdRestore", "Restore New", "Restore from the most recent backup", {6480, 960, kButtonWidth, kButtonHeight},
     FormEvent::RestoreNewClick},
    {"cmdRestoreOld", "Restore Old", "Restore from the older backup", {7680, 960, kButtonWidth, kButtonHeight},
     FormEvent::RestoreOldClick},
    {"cmdDelete", "Create Blank", "Erase all of the data and start over", {8880, 960, kButtonWidth, kButtonHeight},
     FormEvent::CreateBlankClick},
}};
inline constexpr int kComboTabPosition = 3;

}  // namespace dbrepair::form_layout
