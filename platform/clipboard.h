#pragma once
// The system clipboard for text and file lists. Texts and paths are UTF-8.
// No Qt types here; platform/qt/clipboard.cpp implements it.

#include <string>
#include <vector>

namespace brek_platform {

// Replaces the clipboard's content by a text; an empty text empties it.
// Returns false when the clipboard could not be reached.
bool clipboard_set_text(const std::string& text);

// Replaces the clipboard's content by a list of files, as file managers
// paste them: "text/uri-list" plus "x-special/gnome-copied-files" whose
// first line is "cut" for a move and "copy" otherwise. Relative names are
// made absolute against the current directory first.
bool clipboard_set_files(const std::vector<std::string>& paths, bool cut);

// Empties the clipboard.
void clipboard_clear();

// The clipboard's text; empty when it holds none.
std::string clipboard_text();

// The formats (MIME types) on the clipboard, and the bytes of one of them
// (empty when absent).
std::vector<std::string> clipboard_formats();
std::string clipboard_data(const std::string& format);

// The local files on the clipboard (from its URI list), in order.
std::vector<std::string> clipboard_files();

}  // namespace brek_platform
