#include "viewer/captions.h"

#include "baselib/file_path.h"
#include "baselib/string_functions.h"
#include "baselib/system_functions.h"
#include "runtime/strings.h"
#include "runtime/unicode.h"

namespace brek::Viewer_captions {

namespace NS = NATIVE_String_functions;

std::string single_image(const std::string& title, const std::string& file_name, int64_t width,
                         int64_t height, double file_size) {
  std::string size = file_size > 0 ? File_path::size_text(file_size) : std::string();
  return title + " - " + file_name + " " + Brek_runtime::int_to_str(width) + "x" +
         Brek_runtime::int_to_str(height) + " " + size;
}

std::string directory(const std::string& title, const std::string& dir, const std::string& files_word,
                      int64_t count) {
  return title + " - " + dir + " [" + files_word + ":" + Brek_runtime::int_to_str(count) + "]";
}

std::string empty_window(const std::string& title) {
  return title + " - drop an image or a directory here";
}

std::vector<std::string> wrap_words(const std::string& text, double width,
                                    const std::function<double(const std::string&)>& measure) {
  if (measure(text) <= width) return {text};
  std::vector<std::string> lines;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    const size_t word = text.find_first_not_of(' ', at);
    if (word == std::string::npos) break;
    const size_t end = std::min(text.find(' ', word), text.size());
    const std::string blanks = text.substr(at, word - at), piece = text.substr(word, end - word);
    if (line.empty()) {
      line = piece;
    } else if (measure(line + blanks + piece) <= width) {
      line += blanks + piece;
    } else {
      lines.push_back(line);
      line = piece;
    }
    at = end;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

std::string program_word(const std::string& program_file) {
  std::string name = File_path::name_of(program_file);
  std::string ext = File_path::extension_of(name);
  if (!ext.empty()) name = File_path::change_extension(name, "");
  if (name.empty()) return name;
  size_t len = 1;
  Unicode::decode_one(name, 0, len);
  return NS::upper_case(name.substr(0, len)) + name.substr(len);
}

std::string program_name() {
  const std::string word = program_word(System_functions::program_path());
  return word.empty() ? std::string(PRODUCT_WORD) : word;
}

}  // namespace brek::Viewer_captions
