#pragma once
// The texts of the main window's caption. Every caption goes through
// with_program_name, which puts the program's own name where the product
// word stands, so a program file named "collage" shows "Collage".

#include <cstdint>
#include <string>

namespace brek::Viewer_captions {

// The product word that captions carry until with_program_name.
inline constexpr const char* PRODUCT_WORD = "Ostrel";

// title + " - " + file + " " + width + "x" + height + " " + the file size as
// text (empty when the size is not positive).
std::string single_image(const std::string& title, const std::string& file_name, int64_t width,
                         int64_t height, double file_size);
// title + " - " + directory + " [" + files_word + ":" + count + "]".
std::string directory(const std::string& title, const std::string& dir, const std::string& files_word,
                      int64_t count);
// The caption of a window that opened nothing: the title and a hint.
std::string empty_window(const std::string& title);

// The program file's name without directory and extension, its first
// character upper-cased ("/usr/bin/collage" -> "Collage").
std::string program_word(const std::string& program_file);
// Every PRODUCT_WORD of text replaced by word.
std::string with_program_name(const std::string& text, const std::string& word);

}  // namespace brek::Viewer_captions
