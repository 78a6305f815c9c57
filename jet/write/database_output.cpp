#include "jet/write/database_output.h"

#include <algorithm>

#include "jet/base/error.h"

namespace jet {

namespace {

// After the header, the free-page map and the catalog's first definition page.
constexpr std::uint32_t kFirstFreePage = 3;
constexpr std::uint32_t kNoOwner = 0;

std::vector<std::uint32_t> free_space_map(std::uint32_t last_page) {
  return last_page == 0 ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>{last_page};
}

}  // namespace

DatabaseOutput::DatabaseOutput(File& file, Version version, std::uint32_t database_key, PageFile::Writes writes)
    : file_(file),
      version_(version),
      pages_(file, version, database_key, kFirstFreePage, writes),
      maps_(version, kNoOwner, pages_) {}

std::vector<std::uint32_t> DatabaseOutput::reserve_definition(const TableDef& def, bool catalog) {
  std::vector<std::uint32_t> pages;
  if (catalog) {
    if (catalog_reserved_) throw Error(ErrorCode::InvalidArgument, "the catalog was already begun");
    catalog_reserved_ = true;
    pages.push_back(kCatalogPage);
  }
  while (pages.size() < table_def_page_count(def)) pages.push_back(pages_.allocate_page());
  return pages;
}

void DatabaseOutput::finish_table(TableDef& def, std::vector<std::uint32_t>& def_pages, const TableContent& content) {
  if (content.indexes.size() != def.real_indexes.size()) {
    throw Error(ErrorCode::InvalidArgument, "table " + std::to_string(def.page) + " has " +
                                                std::to_string(def.real_indexes.size()) + " real indexes, not " +
                                                std::to_string(content.indexes.size()));
  }
  // The maps, in the order the definition keeps them.
  std::vector<std::vector<std::uint32_t>> maps;
  maps.push_back(content.rows.pages());
  maps.push_back(free_space_map(content.rows.last_page()));
  for (const IndexBuildResult& built : content.indexes) {
    maps.push_back(built.pages);
    std::sort(maps.back().begin(), maps.back().end());
  }
  for (const LongValueColumnMaps& lv : def.long_value_maps) {
    const LongValueWriter* writer = content.long_values ? content.long_values(lv.column_number) : nullptr;
    maps.push_back(writer == nullptr ? std::vector<std::uint32_t>{} : writer->pages());
    maps.push_back(free_space_map(writer == nullptr ? 0 : writer->last_page()));
  }
  const std::vector<RowPointer> pointers = maps_.write(maps);

  std::size_t next = 0;
  def.owned_pages = pointers[next++];
  def.free_space_pages = pointers[next++];
  for (std::size_t i = 0; i < def.real_indexes.size(); ++i) {
    RealIndexDef& index = def.real_indexes[i];
    index.usage_map = pointers[next++];
    index.first_page = content.indexes[i].root_page;
    index.unique_entry_count = content.indexes[i].unique_entry_count;
    // The count Access keeps beside it is of the index the rows were read
    // from, which this one replaces: 0, as Access leaves it in some files.
    index.counter_rows = 0;
  }
  for (LongValueColumnMaps& lv : def.long_value_maps) {
    lv.owned_pages = pointers[next++];
    lv.free_space_pages = pointers[next++];
  }

  const std::vector<std::uint8_t> encoded = encode_table_def(def);
  while (def_pages.size() < table_def_page_count(def)) def_pages.push_back(pages_.allocate_page());
  while (def_pages.size() > table_def_page_count(def)) {
    free_pages_.push_back(def_pages.back());
    def_pages.pop_back();
  }
  const auto pages = paginate_table_def(version_, encoded, def_pages);
  for (std::size_t i = 0; i < pages.size(); ++i) pages_.write_page(def_pages[i], pages[i]);
  def.pages = def_pages;
}

void DatabaseOutput::finish(Bytes page0) {
  if (!catalog_reserved_) throw Error(ErrorCode::InvalidArgument, "a database needs its catalog on page 2");
  maps_.finish();
  std::sort(free_pages_.begin(), free_pages_.end());
  pages_.set_page_count(write_free_page_map(version_, free_pages_, pages_.page_count(), pages_));
  pages_.write_page(0, page0);
  pages_.flush();
  file_.truncate(std::uint64_t{pages_.page_count()} * page_size(version_));
}

}  // namespace jet
