#include "jet/write/generate.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "jet/base/error.h"
#include "jet/write/new_database.h"
#include "jet/write/table_layout.h"

namespace jet {

namespace {

// A fixed creation date (2001-01-01 12:00), so that output depends on the
// seed alone.
constexpr double kCreationDate = 36892.5;

constexpr const char* kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
                                  "india", "juliet", "kilo", "lima", "mike", "november", "oscar", "papa"};
constexpr const char* kCities[] = {"Amsterdam", "Berlin", "Cairo", "Dublin", "Lisbon", "Madrid", "Oslo", "Paris"};

class Source {
 public:
  explicit Source(std::uint64_t seed) : engine_(seed) {}
  std::uint64_t next() { return engine_(); }
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }
  bool chance(unsigned percent) { return below(100) < percent; }

  std::string words(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
      if (i) out += ' ';
      out += kWords[below(std::size(kWords))];
    }
    return out;
  }
  std::vector<std::uint8_t> bytes(std::size_t n) {
    std::vector<std::uint8_t> out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(next());
    return out;
  }
  // A long value's size, by class: inline, one long-value row, or a chain.
  std::size_t long_value_size() {
    switch (below(8)) {
      case 0: return 0;
      case 1: case 2: return 1 + below(64);
      case 3: case 4: case 5: return 65 + below(1800);
      case 6: return 2000 + below(6000);
      default: return 8000 + below(24000);
    }
  }

 private:
  std::mt19937_64 engine_;
};

std::string memo_text(Source& source, std::size_t size, bool accents) {
  std::string text;
  while (text.size() < size) text += (accents && source.chance(20) ? "caf\u00e9 " : "") + source.words(4) + ". ";
  // Cut on a character boundary.
  std::size_t cut = std::min(size, text.size());
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

void write_customers(NewDatabase& db, Version v, Source& source, std::uint64_t rows) {
  TableDef def = lay_out_table(v, 1252, 0x0409,
                               {{"ID", ColumnType::Long, 0, true},
                                {"Name", ColumnType::Text, 50},
                                {"Email", ColumnType::Text, 100},
                                {"City", ColumnType::Text, 30},
                                {"Joined", ColumnType::DateTime},
                                {"Active", ColumnType::Boolean},
                                {"Rating", ColumnType::Byte},
                                {"Balance", ColumnType::Currency},
                                {"Notes", ColumnType::Memo}},
                               {{"PrimaryKey", {{"ID"}}, true, true},
                                {"Name", {{"Name"}}},
                                {"Email", {{"Email"}}, true, false, true},
                                {"CityJoined", {{"City"}, {"Joined", false}}}});
  TableWriter& table = db.begin_table("Customers", def);
  for (std::uint64_t i = 0; i < rows; ++i) {
    const std::size_t notes = source.long_value_size();
    std::vector<Value> row = {
        Value::null(ColumnType::Long),
        Value{ColumnType::Text, source.words(2)},
        source.chance(10) ? Value::null(ColumnType::Text)
                          : Value{ColumnType::Text, "user" + std::to_string(i) + "@" + source.words(1) + ".example"},
        Value{ColumnType::Text, std::string(kCities[source.below(std::size(kCities))])},
        Value{ColumnType::DateTime, DateTime{30000.0 + static_cast<double>(source.below(20000)) +
                                             static_cast<double>(source.below(86400)) / 86400.0}},
        Value{ColumnType::Boolean, source.chance(70)},
        Value{ColumnType::Byte, static_cast<std::uint8_t>(source.below(256))},
        Value{ColumnType::Currency, Currency{static_cast<std::int64_t>(source.below(2000000000)) - 1000000000}},
        notes == 0 ? Value::null(ColumnType::Memo) : Value{ColumnType::Memo, memo_text(source, notes, true)},
    };
    table.add_row(row);
  }
  db.finish_table(table);
}

void write_orders(NewDatabase& db, Version v, Source& source, std::uint64_t rows, std::uint64_t customers) {
  // Decimal numbers came with Jet 4: a Jet 3 file has no such column.
  const bool decimals = v == Version::Jet4;
  std::vector<NewColumn> columns = {{"OrderID", ColumnType::Long, 0, true},
                                     {"CustomerID", ColumnType::Long},
                                     {"Placed", ColumnType::DateTime},
                                     {"Quantity", ColumnType::Integer},
                                     {"Price", ColumnType::Single},
                                     {"Total", ColumnType::Double},
                                     {"Discount", ColumnType::Numeric, 0, false, 18, 4},
                                     {"Code", ColumnType::Guid},
                                     {"Payload", ColumnType::Binary, 64},
                                     {"Attachment", ColumnType::Ole}};
  constexpr std::size_t kDiscount = 6;
  if (!decimals) columns.erase(columns.begin() + kDiscount);
  TableDef def = lay_out_table(v, 1252, 0x0409, columns,
                               {{"PrimaryKey", {{"OrderID"}}, true, true},
                                {"CustomerID", {{"CustomerID"}}},
                                {"PlacedDesc", {{"Placed", false}}},
                                {"Code", {{"Code"}}, true}});
  TableWriter& table = db.begin_table("Orders", def);
  for (std::uint64_t i = 0; i < rows; ++i) {
    Guid code;
    const auto code_bytes = source.bytes(16);
    std::copy(code_bytes.begin(), code_bytes.end(), code.bytes.begin());
    store_u32(code.bytes.data(), static_cast<std::uint32_t>(i));  // unique whatever the draw
    const auto quantity = static_cast<std::int16_t>(source.below(1000));
    const float price = static_cast<float>(source.below(100000)) / 100.0f;
    const std::size_t attachment = source.long_value_size();
    std::vector<Value> row = {
        Value::null(ColumnType::Long),
        Value{ColumnType::Long, static_cast<std::int32_t>(1 + source.below(customers == 0 ? 1 : customers))},
        Value{ColumnType::DateTime, DateTime{35000.0 + static_cast<double>(source.below(9000))}},
        Value{ColumnType::Integer, quantity},
        Value{ColumnType::Single, price},
        Value{ColumnType::Double, static_cast<double>(price) * quantity},
        source.chance(20) ? Value::null(ColumnType::Numeric)
                          : Value{ColumnType::Numeric, Decimal{source.chance(30), 4, source.below(1000000000)}},
        Value{ColumnType::Guid, code},
        Value{ColumnType::Binary, source.bytes(source.below(65))},
        attachment == 0 ? Value::null(ColumnType::Ole) : Value{ColumnType::Ole, source.bytes(attachment)},
    };
    if (!decimals) row.erase(row.begin() + kDiscount);
    table.add_row(row);
  }
  db.finish_table(table);
}

// A table without a primary key or long values: narrow rows, many a page.
void write_events(NewDatabase& db, Version v, Source& source, std::uint64_t rows) {
  TableDef def = lay_out_table(v, 1252, 0x0409,
                               {{"Seq", ColumnType::Long}, {"Kind", ColumnType::Integer}, {"Label", ColumnType::Text, 20}},
                               {{"KindSeq", {{"Kind"}, {"Seq", false}}, true}});
  TableWriter& table = db.begin_table("Events", def);
  for (std::uint64_t i = 0; i < rows; ++i) {
    std::vector<Value> row = {
        Value{ColumnType::Long, static_cast<std::int32_t>(i)},
        Value{ColumnType::Integer, static_cast<std::int16_t>(source.below(16))},
        source.chance(5) ? Value::null(ColumnType::Text) : Value{ColumnType::Text, source.words(1)},
    };
    table.add_row(row);
  }
  db.finish_table(table);
}

}  // namespace

void generate_database(File& file, const GenerateOptions& options) {
  if (options.rows > 0x7FFFFFFF) throw Error(ErrorCode::LimitExceeded, "at most 2^31 - 1 rows a table");
  Header header;
  header.version = options.version;
  header.creation_date = kCreationDate;
  header.database_key = options.database_key;
  NewDatabase db(file, header, options.writer);
  Source source(options.seed);
  write_customers(db, options.version, source, options.rows);
  write_orders(db, options.version, source, options.rows, options.rows);
  write_events(db, options.version, source, options.rows);
  db.finish();
}

}  // namespace jet
