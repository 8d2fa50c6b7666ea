#pragma once
// Image-file names: which names are images, and the extension that types a
// file, both seeing through the suffixes download programs add to files
// still being downloaded.

#include <string>

namespace brek::Image_file_name {

// The nine partial-download suffixes, lower case with their dot.
bool is_partial_download_suffix(const std::string& lower_extension);

// The extension of the name's last path component from its last "." on,
// with the dot; empty when there is none.
std::string extension_of(const std::string& name);

// The lower-case extension with its dot that types the file; for a name
// ending in one partial-download suffix, the extension in front of it.
std::string file_extension(const std::string& name);

// Whether the name has a loadable image extension, also inside one
// partial-download suffix (photo.jpg.crdownload).
bool is_image_file_name(const std::string& name);

// Whether the name may be used as a path: not empty and none of the names
// that stand for a picture without a file, "<clipboard>" and "<cut>"
// (a file's name may hold "<" itself).
bool names_a_file(const std::string& name);

}  // namespace brek::Image_file_name
