#include "jet/format/properties.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "jet/base/ascii.h"
#include "jet/format/name_text.h"

namespace jet {

namespace {

constexpr std::string_view kStructure = "property blob";
constexpr std::uint16_t kNamePool = 0x80;
constexpr std::size_t kChunkHeader = 6;
constexpr std::size_t kValueHeader = 8;

std::string_view signature(Version version) { return is_jet4(version) ? std::string_view("MR2\0", 4) : std::string_view("KKD\0", 4); }

void put_u16(std::vector<std::uint8_t>& out, std::size_t v) {
  if (v > 0xFFFF) throw Error(ErrorCode::LimitExceeded, "a property record exceeds 65535 bytes");
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put_u32_at(std::vector<std::uint8_t>& out, std::size_t at, std::size_t v) {
  store_u32(&out[at], static_cast<std::uint32_t>(v));
}

void put_name(Version version, std::vector<std::uint8_t>& out, std::string_view name) {
  const std::vector<std::uint8_t> stored = encode_name(version, name);
  put_u16(out, stored.size());
  out.insert(out.end(), stored.begin(), stored.end());
}

std::vector<std::string> decode_pool(Version version, const ByteReader& in, std::size_t begin, std::size_t end,
                                     const std::string& chunk) {
  std::vector<std::string> names;
  std::size_t at = begin;
  while (at < end) {
    const std::string field = chunk + " name " + std::to_string(names.size());
    const std::uint16_t length = in.u16(at, field + " length");
    if (at + 2 + length > end) in.fail(field, "runs past the end of its chunk");
    names.push_back(decode_name(version, in.bytes(at + 2, length, field), in, field));
    at += 2 + length;
  }
  return names;
}

PropertyBlock decode_block(Version version, const ByteReader& in, std::size_t begin, std::size_t end,
                           std::uint16_t type, const std::vector<std::string>& pool, const std::string& chunk) {
  PropertyBlock block;
  block.chunk_type = type;
  const std::uint32_t name_record = in.u32(begin, chunk + " name record length");
  const std::uint16_t name_length = in.u16(begin + 4, chunk + " name length");
  if (begin + 6 + name_length > end || name_record > end - begin) {
    in.fail(chunk + " name", "runs past the end of its chunk");
  }
  block.name = decode_name(version, in.bytes(begin + 6, name_length, chunk + " name"), in, chunk + " name");
  std::size_t at = begin + std::max<std::size_t>(name_record, 6 + name_length);
  while (at < end) {
    const std::string field = chunk + " value " + std::to_string(block.properties.size());
    const std::uint16_t record = in.u16(at, field + " length");
    const std::uint16_t name_index = in.u16(at + 4, field + " name index");
    const std::uint16_t value_length = in.u16(at + 6, field + " value length");
    if (record < kValueHeader + value_length || at + record > end) {
      in.fail(field + " length", "is " + std::to_string(record) + ", which does not fit its value of " +
                                     std::to_string(value_length) + " bytes in the chunk");
    }
    if (name_index >= pool.size()) {
      in.fail(field + " name index", "is " + std::to_string(name_index) + ", past the " +
                                         std::to_string(pool.size()) + " names of the pool");
    }
    Property property;
    property.name = pool[name_index];
    property.ddl_flag = in.u8(at + 2, field + " flag");
    property.type = static_cast<ColumnType>(in.u8(at + 3, field + " type"));
    const Bytes value = in.bytes(at + kValueHeader, value_length, field);
    property.value.assign(value.begin(), value.end());
    block.properties.push_back(std::move(property));
    at += record;
  }
  return block;
}

}  // namespace

const Property* PropertyBlock::find(std::string_view property) const {
  for (const Property& p : properties) {
    if (same_name(p.name, property)) return &p;
  }
  return nullptr;
}

PropertyBlob decode_properties(Version version, Bytes blob, std::uint32_t page) {
  const ByteReader in(blob, page, kStructure);
  const Bytes head = in.bytes(0, 4, "signature");
  if (!std::equal(head.begin(), head.end(), signature(version).begin())) {
    in.fail("signature", std::string("is not \"") + (is_jet4(version) ? "MR2" : "KKD") + "\"");
  }
  PropertyBlob out;
  std::vector<std::string> pool;
  bool have_pool = false;
  std::size_t at = 4;
  for (std::size_t index = 0; at < blob.size(); ++index) {
    const std::string chunk = "chunk " + std::to_string(index);
    const std::uint32_t length = in.u32(at, chunk + " length");
    const std::uint16_t type = in.u16(at + 4, chunk + " type");
    if (length < kChunkHeader || length > blob.size() - at) {
      in.fail(chunk + " length", "is " + std::to_string(length) + ", outside the blob's remaining " +
                                     std::to_string(blob.size() - at) + " bytes");
    }
    const std::size_t end = at + length;
    if (type == kNamePool) {
      pool = decode_pool(version, in, at + kChunkHeader, end, chunk);
      have_pool = true;
      if (out.names.empty()) out.names = pool;
    } else if (type <= 0x02) {
      if (!have_pool) in.fail(chunk + " type", "holds values before any name pool");
      out.blocks.push_back(decode_block(version, in, at + kChunkHeader, end, type, pool, chunk));
    } else {
      in.fail(chunk + " type", "is " + std::to_string(type) + ", not a known chunk type");
    }
    at = end;
  }
  return out;
}

std::vector<std::uint8_t> encode_properties(Version version, const PropertyBlob& blob) {
  std::vector<std::string> pool;
  std::map<std::string, std::uint16_t> index;
  for (const std::string& name : blob.names) {
    if (index.count(name)) continue;
    index[name] = static_cast<std::uint16_t>(pool.size());
    pool.push_back(name);
  }
  for (const PropertyBlock& block : blob.blocks) {
    for (const Property& property : block.properties) {
      if (index.count(property.name)) continue;
      index[property.name] = static_cast<std::uint16_t>(pool.size());
      pool.push_back(property.name);
    }
  }
  const std::string_view sig = signature(version);
  std::vector<std::uint8_t> out(sig.begin(), sig.end());

  std::size_t chunk = out.size();
  out.resize(chunk + kChunkHeader);
  store_u16(&out[chunk + 4], kNamePool);
  for (const std::string& name : pool) put_name(version, out, name);
  put_u32_at(out, chunk, out.size() - chunk);

  for (const PropertyBlock& block : blob.blocks) {
    chunk = out.size();
    out.resize(chunk + kChunkHeader + 4);
    store_u16(&out[chunk + 4], block.chunk_type);
    put_name(version, out, block.name);
    put_u32_at(out, chunk + kChunkHeader, out.size() - chunk - kChunkHeader);
    for (const Property& property : block.properties) {
      put_u16(out, kValueHeader + property.value.size());
      out.push_back(property.ddl_flag);
      out.push_back(static_cast<std::uint8_t>(property.type));
      put_u16(out, index.at(property.name));
      put_u16(out, property.value.size());
      out.insert(out.end(), property.value.begin(), property.value.end());
    }
    put_u32_at(out, chunk, out.size() - chunk);
  }
  return out;
}

}  // namespace jet
