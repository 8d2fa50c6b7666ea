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

// Named clipboard formats ("GIF Image"): registered at start-up with the
// MIME type they travel as, withdrawn at shut-down. Registering a name again
// replaces its type; false for an empty name or type.
bool clipboard_register_format(const std::string& name, const std::string& mime_type);
void clipboard_unregister_format(const std::string& name);
// The MIME type of a registered format; empty when it is not registered.
std::string clipboard_format_type(const std::string& name);
// Replaces the clipboard's content by bytes in a registered format; false
// when the format is not registered or the clipboard cannot be reached.
bool clipboard_set_format_data(const std::string& name, const std::string& bytes);
// Whether the clipboard holds a registered format, and its bytes (empty
// when absent or not registered).
bool clipboard_has_format(const std::string& name);
std::string clipboard_format_data(const std::string& name);

}  // namespace brek_platform
