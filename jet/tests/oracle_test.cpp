// Every table of every sample database must read the same through this
// engine as through two independent readers: mdbtools' mdb-export and the
// mdb-reader npm package (through tests/oracle/dump.mjs). Values are compared
// through a canonical form of each column type. Where an oracle is known to
// read a table differently, the difference and its reason are recorded in
// kKnownDifferences, and the test checks that the difference is still there.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

#include "jet/read/database.h"
#include "support/corpus.h"
#include "support/external_readers.h"
#include "support/shell_command.h"

namespace jet {
namespace {

struct KnownDifference {
  const char* file;    // file name within the corpus
  const char* table;
  const char* oracle;  // "mdb-export" or "mdb-reader"
  const char* reason;
};

constexpr const char* kExportStopsAtZeroByte =
    "mdb-export prints a Binary value only up to its first zero byte";
constexpr const char* kExportStopsAtNulChar =
    "mdb-export prints a Text value only up to its first NUL character";
constexpr const char* kExportLacksType11 =
    "column Data is of type 0x11 (long binary), which mdb-export prints as empty";
constexpr const char* kReaderLacksType11 =
    "column Data is of type 0x11 (long binary), for which mdb-reader refuses the whole table";

const KnownDifference kKnownDifferences[] = {
    {"v2000-bigIndexTest.mdb", "MSysACEs", "mdb-export", kExportStopsAtZeroByte},
    {"v2000-creation-date.mdb", "MSysACEs", "mdb-export", kExportStopsAtZeroByte},
    {"v2000-empty.mdb", "MSysACEs", "mdb-export", kExportStopsAtZeroByte},
    {"v2000-indexTest.mdb", "MSysACEs", "mdb-export", kExportStopsAtZeroByte},
    {"v2000-with-password.mdb", "MSysACEs", "mdb-export", kExportStopsAtZeroByte},
    {"v2003-empty.mdb", "MSysACEs", "mdb-export", kExportStopsAtZeroByte},
    {"v2000-indexTest.mdb", "MSysNameMap", "mdb-export", kExportStopsAtNulChar},
    {"v1997-indexTest.mdb", "MSysAccessObjects", "mdb-export", kExportStopsAtZeroByte},
    {"v1997-test2.mdb", "MSysAccessObjects", "mdb-export", kExportStopsAtZeroByte},
    {"v2000-creation-date.mdb", "MSysNameMap", "mdb-export", kExportStopsAtNulChar},
    {"v2000-with-password.mdb", "MSysNameMap", "mdb-export", kExportStopsAtNulChar},
    {"v2003-with-password.mdb", "MSysNameMap", "mdb-export", kExportStopsAtNulChar},
    {"v2000-bigIndexTest.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-bigIndexTest.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-compIndexTest.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-compIndexTest.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-creation-date.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-creation-date.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-delTest.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-delTest.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-empty.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-empty.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-indexTest.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-indexTest.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-numeric.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-numeric.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-overflowTest.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-overflowTest.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-test.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-test.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
    {"v2000-with-password.mdb", "MSysAccessObjects", "mdb-export", kExportLacksType11},
    {"v2000-with-password.mdb", "MSysAccessObjects", "mdb-reader", kReaderLacksType11},
};

const KnownDifference* known_difference(const std::string& file, const std::string& table,
                                        const std::string& oracle) {
  for (const auto& k : kKnownDifferences) {
    if (file == k.file && table == k.table && oracle == k.oracle) return &k;
  }
  return nullptr;
}

using testing::shell_quoted;

// ---- canonical forms --------------------------------------------------------

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

std::string trim_decimal(std::string s) {
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0" || s.empty()) s = "0";
  return s;
}

// "YYYY-MM-DDTHH:MM:SS..." as seconds since 1970-01-01.
std::optional<long long> seconds_since_1970(const std::string& s) {
  int y, mo, d, h, mi, se;
  if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &se) != 6) return std::nullopt;
  y -= mo <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long long days = era * 146097 + doe - 719468;
  return days * 86400 + h * 3600 + mi * 60 + se;
}

// Two texts of one value of `type` agree. nullopt stands for null.
bool same(ColumnType type, const std::optional<std::string>& a, const std::optional<std::string>& b) {
  if (!a || !b) return !a && !b;
  switch (type) {
    case ColumnType::Single:
    case ColumnType::Double: {
      double x = std::strtod(a->c_str(), nullptr);
      double y = std::strtod(b->c_str(), nullptr);
      double tolerance = (type == ColumnType::Single ? 1e-6 : 1e-9) * std::max(1.0, std::fabs(x));
      return std::fabs(x - y) <= tolerance;
    }
    case ColumnType::Currency:
    case ColumnType::Numeric: return trim_decimal(*a) == trim_decimal(*b);
    case ColumnType::Guid: {
      auto strip = [](std::string s) {
        // mdb-export leaves out the dash before the last group.
        s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '{' || c == '}' || c == '-'; }),
                s.end());
        return upper(s);
      };
      return strip(*a) == strip(*b);
    }
    case ColumnType::Binary:
    case ColumnType::Ole: return upper(*a) == upper(*b);
    case ColumnType::DateTime: {
      // To the second when either text stops there (mdb-export rounds, and
      // not always the same way as a correctly rounded double would).
      if (a->size() <= 19 || b->size() <= 19) {
        auto sa = seconds_since_1970(*a), sb = seconds_since_1970(*b);
        return sa && sb && std::llabs(*sa - *sb) <= 1;
      }
      if (a->substr(0, 19) != b->substr(0, 19)) return false;
      auto millis = [](const std::string& s) { return s.size() > 20 ? s.substr(20, 3) : std::string("000"); };
      return a->size() <= 19 || b->size() <= 19 || millis(*a) == millis(*b);
    }
    default: return *a == *b;
  }
}

using TextRow = std::vector<std::optional<std::string>>;

// mdb-export shows dates to the second, rounded.
TextRow our_row(const std::vector<Value>& values, bool whole_seconds) {
  TextRow row;
  for (const auto& v : values) {
    if (v.is_null()) {
      row.emplace_back();
    } else if (whole_seconds && v.type == ColumnType::DateTime) {
      double days = std::get<DateTime>(v.data).days;
      row.emplace_back(iso_datetime(std::round(days * 86400.0) / 86400.0));
    } else {
      row.emplace_back(canonical_text(v));
    }
  }
  return row;
}

std::string shorten(const std::string& s) { return s.size() > 80 ? s.substr(0, 80) + "..." : s; }

// mdb-export: no header, no quotes, unit separator between columns, record
// separator between rows, group separator for null, binary as hex.
std::vector<TextRow> mdb_export_rows(const std::string& file, const Table& table) {
  std::string out = testing::run_shell("mdb-export -H -Q -d " + shell_quoted("\x1f") + " -R " +
                                       shell_quoted("\x1e") + " -0 " + shell_quoted("\x1d") +
                                       " -b hex -T '%Y-%m-%dT%H:%M:%S' " + shell_quoted(file) + " " +
                                       shell_quoted(table.name()) + " 2>/dev/null")
                        .out;
  std::vector<TextRow> rows;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('\x1e', start);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(start, end - start);
    start = end + 1;
    TextRow row;
    std::size_t field_start = 0;
    for (std::size_t i = 0; i < table.columns().size(); ++i) {
      std::size_t field_end = line.find('\x1f', field_start);
      if (field_end == std::string::npos) field_end = line.size();
      std::string field = line.substr(field_start, field_end - field_start);
      field_start = field_end + 1;
      ColumnType type = table.columns()[i].type;
      if (field == "\x1d") {
        row.emplace_back();
      } else if (type == ColumnType::Boolean) {
        row.emplace_back(field == "1" ? "true" : "false");
      } else if (type == ColumnType::Guid && field.rfind("7B", 0) == 0 && field.size() % 2 == 0) {
        // -b hex prints a GUID as the hex of its "{...}" text.
        std::string text;
        for (std::size_t k = 0; k + 1 < field.size(); k += 2) {
          text += static_cast<char>(std::stoi(field.substr(k, 2), nullptr, 16));
        }
        row.emplace_back(text);
      } else {
        row.emplace_back(field);
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::optional<std::string> json_text(const nlohmann::json& v) {
  if (v.is_null()) return std::nullopt;
  if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
  if (v.is_string()) {
    std::string s = v.get<std::string>();
    if (s.size() == 24 && s[10] == 'T' && s.back() == 'Z') s.pop_back();  // Date
    return s;
  }
  if (v.is_number_integer()) return std::to_string(v.get<long long>());
  std::ostringstream out;
  out.precision(17);
  out << v.get<double>();
  return out.str();
}

std::map<std::string, std::vector<TextRow>> mdb_reader_rows(const std::string& file, const Database& db,
                                                            std::string* failure) {
  std::string password = db.header().password;
  testing::ShellResult dump = testing::run_shell("node " + shell_quoted(testing::mdb_reader_script()) + " " +
                                                 shell_quoted(file) +
                                                 (password.empty() ? "" : " " + shell_quoted(password)) + " 2>&1");
  std::map<std::string, std::vector<TextRow>> tables;
  if (dump.status != 0) {
    *failure = dump.out;
    return tables;
  }
  std::istringstream lines(dump.out);
  std::string line;
  std::map<std::string, std::vector<ColumnDef>> defs;
  while (std::getline(lines, line)) {
    auto j = nlohmann::json::parse(line);
    std::string name = j["table"].get<std::string>();
    if (j.contains("error")) {
      tables[name];
      continue;
    }
    auto def = defs.find(name);
    if (def == defs.end()) def = defs.emplace(name, db.table(name).columns()).first;
    TextRow row;
    for (const auto& column : def->second) {
      const auto& v = j["row"].contains(column.name) ? j["row"][column.name] : nlohmann::json();
      row.push_back(json_text(v));
    }
    tables[name].push_back(std::move(row));
  }
  return tables;
}

// Rows compared as multisets: readers may visit pages in different orders.
std::string compare(const Table& table, std::vector<TextRow> ours, std::vector<TextRow> theirs) {
  if (ours.size() != theirs.size()) {
    return "we read " + std::to_string(ours.size()) + " rows, the oracle " +
           std::to_string(theirs.size());
  }
  auto key = [](const TextRow& r) {
    std::string k;
    for (const auto& f : r) k += (f ? *f : std::string("\x1d")) + '\x1f';
    return k;
  };
  auto by_key = [&](const TextRow& a, const TextRow& b) { return key(a) < key(b); };
  std::sort(ours.begin(), ours.end(), by_key);
  std::sort(theirs.begin(), theirs.end(), by_key);
  for (std::size_t r = 0; r < ours.size(); ++r) {
    for (std::size_t c = 0; c < ours[r].size() && c < theirs[r].size(); ++c) {
      const ColumnDef& column = table.columns()[c];
      if (!same(column.type, ours[r][c], theirs[r][c])) {
        return "column " + column.name + ": we read '" + shorten(ours[r][c].value_or("null")) +
               "', the oracle '" + shorten(theirs[r][c].value_or("null")) + "'";
      }
    }
  }
  return {};
}

void check_against(const std::string& file, const Table& table, const std::string& oracle,
                   const std::vector<TextRow>& ours, const std::vector<TextRow>& theirs) {
  std::string name = std::filesystem::path(file).filename().string();
  std::string difference = compare(table, ours, theirs);
  if (const KnownDifference* known = known_difference(name, table.name(), oracle)) {
    EXPECT_FALSE(difference.empty()) << name << " " << table.name() << ": " << oracle
                                     << " now agrees; drop the recorded difference (" << known->reason << ")";
    return;
  }
  EXPECT_TRUE(difference.empty()) << name << " table " << table.name() << " vs " << oracle << ": "
                                  << difference;
}

TEST(Oracle, EveryTableReadsAsMdbExportAndMdbReaderReadIt) {
  auto files = testing::corpus_files();
  if (files.empty()) GTEST_SKIP() << "sample databases not found at " JET_CORPUS_DIR;
  bool export_available = testing::have_mdbtools();
  bool node_available = testing::have_mdb_reader();
  if (!export_available && !node_available) {
    GTEST_SKIP() << "neither mdb-export (Debian mdbtools) nor node with tests/oracle/node_modules is installed";
  }
  std::size_t tables_compared = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(file);
    auto opened = Database::open(file);
    const Database& db = *opened;
    std::string reader_failure;
    auto reader_tables = node_available ? mdb_reader_rows(file, db, &reader_failure)
                                        : std::map<std::string, std::vector<TextRow>>{};
    EXPECT_TRUE(reader_failure.empty()) << reader_failure;
    for (const auto& entry : db.tables(true)) {
      Table table = db.table(entry);
      std::vector<TextRow> ours, ours_to_the_second;
      table.scan([&](RowPointer, std::vector<Value>& values) {
        ours.push_back(our_row(values, false));
        ours_to_the_second.push_back(our_row(values, true));
      });
      if (export_available) {
        check_against(file, table, "mdb-export", ours_to_the_second, mdb_export_rows(file, table));
      }
      if (node_available && reader_failure.empty()) {
        check_against(file, table, "mdb-reader", ours, reader_tables[table.name()]);
      }
      ++tables_compared;
    }
  }
  EXPECT_GT(tables_compared, 100u);
}

}  // namespace
}  // namespace jet
