#pragma once
// The program's own version history: a constant table of text lines, oldest
// entry first. The newest entry gives the version in the window title and in
// the title block of an empty window.
//
// An entry starts with a header line
//     UPDATED (2025-2-23), VER "1.2 Solvarre":
// followed by item lines (a tab, then "ADDED: ", "FIXED: " or "CHANGED: ",
// the English text in quoted pieces, a comma, the Russian text likewise and
// a semicolon; continuation lines start with tabs). Entries are separated by
// blank lines.

#include <string>

#include "runtime/dyn_array.h"

namespace brek::Version_history {

// The whole table, one line an entry.
const DynAStr& lines();

// The version of the last header line of `table`: the text between the first
// two double quotes of the last line whose trimmed text starts with
// "UPDATED"; empty when there is none.
std::string newest_version(const DynAStr& table);
std::string newest_version();

// The program's name + " v" + version, with the edition word " Solvarre"
// appended unless the version already ends with it.
std::string title_for(const std::string& program, const std::string& version);

}  // namespace brek::Version_history
