#pragma once
// The table of type descriptions: one text per type of the program (the
// root class, the basic types, every class, record and enumeration) and the
// names of the enumeration items.
//
// A class entry is "{" short name "|" rest of the full name "}", optionally
// followed by ",base:" and the index of its parent's entry and by
// ",struc:M,count:K" (where its own records and enumerations begin in the
// table, and how many there are). A record is "{" name "}"; an enumeration
// adds ",items:I,count:C": its first item in the item table and the number
// of items. Item names are stored with their single quotes.

#include <cstdint>
#include <string>

namespace brek {

// What field_info tells about a field.
enum class kind_info { TYPE_INDEX, IS_ARRAY, IS_FIXED, IS_PUBLIC, SIZE_ARRAY };
// Which name of a type to give.
enum class flags_name { SHORT_NAME, LONG_NAME, BEAM_SEPARATED };
// The kind of a field's type.
enum class type_kind {
  RTTI_BOOL,
  RTTI_BYTE,
  RTTI_INT,
  RTTI_REAL,
  RTTI_STR,
  RTTI_ENUM,
  RTTI_RECORD,
  RTTI_OBJECT,
  RTTI_STRUCTURE
};

namespace Brek_runtime {

// Entries of the type table (the last one is empty) and of the item table.
inline constexpr int64_t TYPE_TABLE_SIZE = 211;
inline constexpr int64_t ITEM_TABLE_SIZE = 554;

// The text of entry index; the empty text outside the table.
const char* type_text(int64_t index);
// The name of item index, with its quotes; the empty text outside the table.
const std::string& item_name(int64_t index);

// The broad kind of entry index: 0 a basic type, 1 an enumeration, 2 a
// record, 3 a class. An index outside the table reads as the empty entry
// (0).
int32_t type_kind(int64_t index);

// A type's name: SHORT_NAME the part before the first "|", LONG_NAME the
// full name (the "|" marks removed), BEAM_SEPARATED as it is written. The
// braces and whatever follows them are not part of a name.
std::string type_name(int64_t index, flags_name which);

// The name of item value of the enumeration at entry index; the empty text
// when index is no enumeration or value is not one of its items.
std::string enum_item_name(int64_t index, int64_t value);

}  // namespace Brek_runtime
}  // namespace brek
