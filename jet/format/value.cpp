#include "jet/format/value.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "jet/base/text.h"

namespace jet {

namespace {

constexpr std::size_t kDecimalSize = 17;
constexpr std::int64_t kDaysFrom1899To1970 = 25569;
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

template <typename T>
std::string shortest(T number) {
  if (std::isnan(number)) return "NaN";
  if (std::isinf(number)) return number < 0 ? "-Infinity" : "Infinity";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::string(buffer, result.ptr);
}

// Year, month, day of a count of days since 1970-01-01 (proleptic Gregorian).
void civil_from_days(std::int64_t z, std::int64_t& year, unsigned& month, unsigned& day) {
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  auto doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = y + (month <= 2 ? 1 : 0);
}

std::string digits_of(unsigned __int128 n) {
  if (n == 0) return "0";
  std::string s;
  while (n > 0) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
    n /= 10;
  }
  return s;
}

// "123" with scale 2 -> "1.23"; trailing fractional zeros dropped.
std::string place_point(bool negative, std::string digits, unsigned scale) {
  if (scale > 0) {
    if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
    digits.insert(digits.size() - scale, 1, '.');
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
  }
  if (negative && digits != "0") digits.insert(0, 1, '-');
  return digits;
}

[[noreturn]] void wrong_alternative(const Value& v) {
  throw Error(ErrorCode::InvalidArgument,
              "value of column type " + std::to_string(static_cast<int>(v.type)) +
                  " holds the wrong kind of data");
}

template <typename T>
const T& get(const Value& v) {
  if (const T* p = std::get_if<T>(&v.data)) return *p;
  wrong_alternative(v);
}

template <std::size_t N, typename Store>
std::vector<std::uint8_t> bytes_of(Store store) {
  std::vector<std::uint8_t> out(N);
  store(out.data());
  return out;
}

}  // namespace

std::size_t fixed_size(ColumnType type) {
  switch (type) {
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: return 4;
    case ColumnType::Currency: return 8;
    case ColumnType::Single: return 4;
    case ColumnType::Double: return 8;
    case ColumnType::DateTime: return 8;
    case ColumnType::Guid: return 16;
    case ColumnType::Numeric: return kDecimalSize;
    default: return 0;
  }
}

bool is_long_value(ColumnType type) { return type == ColumnType::Memo || type == ColumnType::Ole; }

bool is_variable_length(ColumnType type) {
  return type == ColumnType::Text || type == ColumnType::Binary || is_long_value(type);
}

namespace {

// A fixed-size type needs its bytes in full.
[[noreturn, gnu::noinline, gnu::cold]] void fail_short_value(std::size_t stored_size, std::size_t want,
                                                              std::uint32_t page, std::string_view column) {
  throw_corrupt(page, "row", "column " + std::string(column),
                "holds " + std::to_string(stored_size) + " bytes, its type needs " + std::to_string(want));
}

// Runs for every value of every row: the message is built out of line.
void require_fixed_size(ColumnType type, std::size_t stored_size, std::uint32_t page,
                        std::string_view column) {
  std::size_t want = fixed_size(type);
  if (want != 0 && stored_size < want) [[unlikely]] fail_short_value(stored_size, want, page, column);
}

}  // namespace

void check_stored_value(ColumnType type, std::size_t stored_size, const ValueFormat& format,
                        std::uint32_t page, std::string_view column) {
  require_fixed_size(type, stored_size, page, column);
  bool text = type == ColumnType::Text || type == ColumnType::Memo;
  if (text && format.version == Version::Jet3 && stored_size > 0) require_codepage(format.code_page);
}

Value decode_value(ColumnType type, Bytes stored, const ValueFormat& format, std::uint32_t page,
                   std::string_view column) {
  require_fixed_size(type, stored.size(), page, column);
  const std::uint8_t* p = stored.data();
  Value v{type, std::monostate{}};
  switch (type) {
    case ColumnType::Boolean: v.data = !stored.empty() && stored[0] != 0; break;
    case ColumnType::Byte: v.data = p[0]; break;
    case ColumnType::Integer: v.data = static_cast<std::int16_t>(load_u16(p)); break;
    case ColumnType::Long: v.data = static_cast<std::int32_t>(load_u32(p)); break;
    case ColumnType::Currency: v.data = Currency{static_cast<std::int64_t>(load_u64(p))}; break;
    case ColumnType::Single: v.data = std::bit_cast<float>(load_u32(p)); break;
    case ColumnType::Double: v.data = std::bit_cast<double>(load_u64(p)); break;
    case ColumnType::DateTime: v.data = DateTime{std::bit_cast<double>(load_u64(p))}; break;
    case ColumnType::Guid: {
      Guid g;
      std::copy_n(p, 16, g.bytes.begin());
      v.data = g;
      break;
    }
    case ColumnType::Numeric: {
      Decimal d;
      d.negative = (p[0] & 0x80) != 0;
      d.scale = format.scale;
      for (int word = 0; word < 4; ++word) {
        d.magnitude = (d.magnitude << 32) | load_u32(p + 1 + 4 * word);
      }
      v.data = d;
      break;
    }
    case ColumnType::Text:
    case ColumnType::Memo:
      v.data = format.version == Version::Jet4 ? decode_jet4_text(stored)
                                               : codepage_to_utf8(stored, format.code_page);
      break;
    default:  // Binary, OLE, and types this engine does not interpret
      v.data = std::vector<std::uint8_t>(stored.begin(), stored.end());
      break;
  }
  return v;
}

std::vector<std::uint8_t> encode_value(const Value& v, const ValueFormat& format) {
  switch (v.type) {
    case ColumnType::Boolean:
      throw Error(ErrorCode::InvalidArgument, "a Boolean lives in the null bitmap, not in bytes");
    case ColumnType::Byte: return {get<std::uint8_t>(v)};
    case ColumnType::Integer:
      return bytes_of<2>([&](std::uint8_t* p) {
        store_u16(p, static_cast<std::uint16_t>(get<std::int16_t>(v)));
      });
    case ColumnType::Long:
      return bytes_of<4>([&](std::uint8_t* p) {
        store_u32(p, static_cast<std::uint32_t>(get<std::int32_t>(v)));
      });
    case ColumnType::Currency:
      return bytes_of<8>([&](std::uint8_t* p) {
        store_u64(p, static_cast<std::uint64_t>(get<Currency>(v).units));
      });
    case ColumnType::Single:
      return bytes_of<4>([&](std::uint8_t* p) { store_u32(p, std::bit_cast<std::uint32_t>(get<float>(v))); });
    case ColumnType::Double:
      return bytes_of<8>([&](std::uint8_t* p) { store_u64(p, std::bit_cast<std::uint64_t>(get<double>(v))); });
    case ColumnType::DateTime:
      return bytes_of<8>([&](std::uint8_t* p) {
        store_u64(p, std::bit_cast<std::uint64_t>(get<DateTime>(v).days));
      });
    case ColumnType::Guid: {
      const auto& g = get<Guid>(v);
      return {g.bytes.begin(), g.bytes.end()};
    }
    case ColumnType::Numeric:
      return bytes_of<kDecimalSize>([&](std::uint8_t* p) {
        const auto& d = get<Decimal>(v);
        p[0] = d.negative ? 0x80 : 0x00;
        for (int word = 0; word < 4; ++word) {
          store_u32(p + 1 + 4 * word, static_cast<std::uint32_t>(d.magnitude >> (32 * (3 - word))));
        }
      });
    case ColumnType::Text:
    case ColumnType::Memo: {
      const auto& text = get<std::string>(v);
      return format.version == Version::Jet4 ? encode_jet4_text(text, format.compress_text)
                                             : utf8_to_codepage(text, format.code_page);
    }
    default: return get<std::vector<std::uint8_t>>(v);
  }
}

std::string iso_datetime(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return shortest(days);  // beyond any calendar Access shows
  double whole = std::trunc(days);
  auto day = static_cast<std::int64_t>(whole);
  auto ms = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * kMillisecondsPerDay));
  if (ms >= kMillisecondsPerDay) {
    ms -= kMillisecondsPerDay;
    day += 1;
  }
  std::int64_t year;
  unsigned month, mday;
  civil_from_days(day - kDaysFrom1899To1970, year, month, mday);
  char buffer[64];
  auto seconds = ms / 1000;
  std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02lld:%02lld:%02lld",
                static_cast<long long>(year), month, mday, static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  std::string text = buffer;
  if (ms % 1000 != 0) {
    std::snprintf(buffer, sizeof buffer, ".%03lld", static_cast<long long>(ms % 1000));
    text += buffer;
  }
  return text;
}

std::string hex_text(Bytes bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (auto b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 0x0F];
  }
  return s;
}

std::string currency_text(std::int64_t units) {
  bool negative = units < 0;
  unsigned __int128 magnitude =
      negative ? static_cast<unsigned __int128>(-(units + 1)) + 1 : static_cast<unsigned __int128>(units);
  return place_point(negative, digits_of(magnitude), 4);
}

std::string decimal_text(const Decimal& d) {
  return place_point(d.negative, digits_of(d.magnitude), d.scale);
}

std::string guid_text(const Guid& g) {
  const auto& b = g.bytes;
  auto h = [&](std::initializer_list<int> order) {
    std::string s;
    for (int i : order) s += hex_text(Bytes(&b[static_cast<std::size_t>(i)], 1));
    return s;
  };
  return "{" + h({3, 2, 1, 0}) + "-" + h({5, 4}) + "-" + h({7, 6}) + "-" + h({8, 9}) + "-" +
         h({10, 11, 12, 13, 14, 15}) + "}";
}

std::string canonical_text(const Value& v) {
  return std::visit(
      [&](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) return "null";
        else if constexpr (std::is_same_v<T, bool>) return x ? "true" : "false";
        else if constexpr (std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int16_t> ||
                           std::is_same_v<T, std::int32_t>)
          return std::to_string(x);
        else if constexpr (std::is_same_v<T, Currency>) return currency_text(x.units);
        else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) return shortest(x);
        else if constexpr (std::is_same_v<T, DateTime>) return iso_datetime(x.days);
        else if constexpr (std::is_same_v<T, std::string>) return x;
        else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) return hex_text(x);
        else if constexpr (std::is_same_v<T, Guid>) return guid_text(x);
        else return decimal_text(x);
      },
      v.data);
}

}  // namespace jet
