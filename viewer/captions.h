#pragma once
// The texts of the main window's caption, and the name the program gives
// itself after its file: a program file named "collage" is "Collage".

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brek::Viewer_captions {

// The program's name when its file tells none.
inline constexpr const char* PRODUCT_WORD = "Ostrel";
// After a folder or mount that does not answer (baselib/bounded_ask.h).
inline constexpr const char* NO_ANSWER = " does not answer";

// title + " - " + file + " " + width + "x" + height + " " + the file size as
// text (empty when the size is not positive).
std::string single_image(const std::string& title, const std::string& file_name, int64_t width,
                         int64_t height, double file_size);
// title + " - " + directory + " [" + files_word + ":" + count + "]".
std::string directory(const std::string& title, const std::string& dir, const std::string& files_word,
                      int64_t count);
// The caption of a window that opened nothing: the title and a hint.
std::string empty_window(const std::string& title);

// The text broken at its blanks into lines that `measure` finds at most
// `width` wide, the blanks at a break dropped; a word wider than that
// stands alone on its line. A text that fits is its own single line.
std::vector<std::string> wrap_words(const std::string& text, double width,
                                    const std::function<double(const std::string&)>& measure);

// The program file's name without directory and extension, its first
// character upper-cased ("/usr/bin/collage" -> "Collage").
std::string program_word(const std::string& program_file);
// The name of this program: program_word of its file, else PRODUCT_WORD.
// It goes into the program's own words (title, title block), never into
// the names of files shown beside them.
std::string program_name();

}  // namespace brek::Viewer_captions
