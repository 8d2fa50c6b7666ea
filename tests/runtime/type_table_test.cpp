#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "runtime/type_table.h"

using namespace brek;
using Brek_runtime::enum_item_name;
using Brek_runtime::item_name;
using Brek_runtime::ITEM_TABLE_SIZE;
using Brek_runtime::type_name;
using Brek_runtime::type_text;
using Brek_runtime::TYPE_TABLE_SIZE;

namespace {

// The entry whose short name is name, or -1.
int64_t entry_of(const std::string& name) {
  for (int64_t i = 0; i < TYPE_TABLE_SIZE; ++i)
    if (type_name(i, flags_name::SHORT_NAME) == name) return i;
  return -1;
}

// The number after key in text, or -1.
int64_t number_after(const std::string& text, const std::string& key) {
  size_t at = text.find(key);
  if (at == std::string::npos) return -1;
  return std::stoll(text.substr(at + key.size()));
}

}  // namespace

TEST(TypeTable, KindsOfEntries) {
  EXPECT_STREQ(type_text(0), "{|Object}");
  EXPECT_EQ(Brek_runtime::type_kind(0), 3);
  EXPECT_EQ(Brek_runtime::type_kind(2), 0);
  EXPECT_EQ(Brek_runtime::type_kind(entry_of("sort_by")), 1);
  EXPECT_EQ(Brek_runtime::type_kind(entry_of("gif_frame")), 2);
  EXPECT_EQ(Brek_runtime::type_kind(entry_of("Collage_viewer")), 3);
  EXPECT_STREQ(type_text(entry_of("Collage_viewer")), "{Collage_viewer},base:27,struc:118,count:0");
  EXPECT_STREQ(type_text(entry_of("File_stream")), "{File_stream},base:72,struc:183,count:1");
  EXPECT_STREQ(type_text(entry_of("Image")), "{Image|_load},base:22");
  EXPECT_STREQ(type_text(entry_of("sort_by")), "{sort_by},items:282,count:5");
  EXPECT_STREQ(type_text(entry_of("event")), "{event|_kind},items:320,count:27");
  // The last entry is empty; indexes outside the table read as empty.
  EXPECT_STREQ(type_text(TYPE_TABLE_SIZE - 1), "");
  for (int64_t i : {int64_t{-1}, TYPE_TABLE_SIZE, int64_t{1} << 40}) {
    EXPECT_STREQ(type_text(i), "");
    EXPECT_EQ(Brek_runtime::type_kind(i), 0);
    EXPECT_EQ(type_name(i, flags_name::LONG_NAME), "");
  }
}

TEST(TypeTable, LayoutHoldsTogether) {
  std::set<std::string> class_names;
  for (int64_t i = 5; i <= 116; ++i) {
    std::string text = type_text(i);
    EXPECT_EQ(Brek_runtime::type_kind(i), 3) << text;
    EXPECT_TRUE(class_names.insert(type_name(i, flags_name::SHORT_NAME)).second) << text;
    int64_t base = number_after(text, ",base:");
    if (base >= 0) {
      EXPECT_EQ(Brek_runtime::type_kind(base), 3) << text;
    }
    int64_t struc = number_after(text, ",struc:");
    if (struc >= 0) {
      int64_t count = number_after(text.substr(text.find(",struc:")), ",count:");
      EXPECT_GE(struc, 117) << text;
      EXPECT_LE(struc + count, 210) << text;
    }
  }
  EXPECT_EQ(class_names.size(), 112u);
  EXPECT_EQ(type_text(entry_of("Thread")), std::string("{Thread},struc:186,count:1"));
  EXPECT_EQ(number_after(type_text(entry_of("Rescan_dir")), ",base:"), entry_of("Thread"));

  // Records and enumerations; the enumerations' items tile the item table.
  int records = 0;
  std::vector<std::pair<int64_t, int64_t>> ranges;
  for (int64_t i = 117; i <= 209; ++i) {
    std::string text = type_text(i);
    ASSERT_GE(text.size(), 3u);
    EXPECT_TRUE(text[1] >= 'a' && text[1] <= 'z') << text;
    if (Brek_runtime::type_kind(i) == 2) {
      ++records;
      continue;
    }
    ASSERT_EQ(Brek_runtime::type_kind(i), 1) << text;
    ranges.emplace_back(number_after(text, ",items:"), number_after(text, ",count:"));
  }
  EXPECT_EQ(records, 36);
  EXPECT_EQ(ranges.size(), 57u);
  std::sort(ranges.begin(), ranges.end());
  int64_t next = 0;
  for (auto& r : ranges) {
    EXPECT_EQ(r.first, next);
    EXPECT_GT(r.second, 0);
    next = r.first + r.second;
  }
  EXPECT_EQ(next, ITEM_TABLE_SIZE);
  for (int64_t i = 0; i < ITEM_TABLE_SIZE; ++i) {
    const std::string& item = item_name(i);
    ASSERT_GE(item.size(), 3u) << i;
    EXPECT_EQ(item.front(), '\'');
    EXPECT_EQ(item.back(), '\'');
  }
}

TEST(TypeTable, ItemNames) {
  EXPECT_EQ(item_name(0), "'FALSE'");
  EXPECT_EQ(item_name(1), "'TRUE'");
  EXPECT_EQ(item_name(2 + 0xAB), "'AB'");
  EXPECT_EQ(item_name(2 + 0xFF), "'FF'");
  EXPECT_EQ(item_name(ITEM_TABLE_SIZE), "");
  EXPECT_EQ(item_name(-1), "");

  int64_t sort_by = entry_of("sort_by");
  EXPECT_EQ(enum_item_name(sort_by, 0), "'BY_DIM'");
  EXPECT_EQ(enum_item_name(sort_by, 4), "'BY_MODIFY'");
  EXPECT_EQ(enum_item_name(sort_by, 5), "");
  EXPECT_EQ(enum_item_name(sort_by, -1), "");
  int64_t event = entry_of("event");
  EXPECT_EQ(enum_item_name(event, 0), "'CLICK'");
  EXPECT_EQ(enum_item_name(event, 26), "'COMMAND'");
  EXPECT_EQ(enum_item_name(entry_of("byte"), 0xAB), "'AB'");
  EXPECT_EQ(enum_item_name(entry_of("type_kind"), 8), "'RTTI_STRUCTURE'");
  EXPECT_EQ(enum_item_name(entry_of("power_battery"), 4), item_name(ITEM_TABLE_SIZE - 1));
  // Records and classes have no items.
  EXPECT_EQ(enum_item_name(entry_of("gif_frame"), 0), "");
  EXPECT_EQ(enum_item_name(entry_of("Form"), 0), "");
}

TEST(TypeTable, NamesOfATypeEntry) {
  int64_t image = entry_of("Image");
  EXPECT_EQ(type_name(image, flags_name::SHORT_NAME), "Image");
  EXPECT_EQ(type_name(image, flags_name::LONG_NAME), "Image_load");
  EXPECT_EQ(type_name(image, flags_name::BEAM_SEPARATED), "Image|_load");
  EXPECT_EQ(type_name(entry_of("Rescan_dir"), flags_name::LONG_NAME), "Rescan_directory");
  EXPECT_EQ(type_name(entry_of("event_q"), flags_name::LONG_NAME), "event_queue_item");
  EXPECT_EQ(type_name(2, flags_name::SHORT_NAME), "INT");
  EXPECT_EQ(type_name(2, flags_name::LONG_NAME), "INTEGER");
  EXPECT_EQ(type_name(0, flags_name::SHORT_NAME), "");
  EXPECT_EQ(type_name(0, flags_name::LONG_NAME), "Object");
}
