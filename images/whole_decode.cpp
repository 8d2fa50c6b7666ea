#include "images/whole_decode.h"

#include <limits>

#include "images/gif.h"
#include "images/image_file_io.h"
#include "images/jpeg_codec.h"
#include "images/picture_fit.h"

namespace brek {

namespace {

// The file's version now; nothing when it is gone.
std::optional<Image_header::File_version> version_of(const std::string& file_name) {
  const Image_header::File_header h = Image_header::read_file(file_name, "", false, true);
  if (!h.found) return std::nullopt;
  return h.version;
}

bool is_jpeg(const std::string& e) { return e == ".jpg" || e == ".jpeg"; }

}  // namespace

bool C_Whole_decode::reads(const std::string& e) {
  // A GIF by the reader the viewer composes with; another reader decodes
  // where it is asked.
  return is_jpeg(e) || e == ".bmp" || (e == ".gif" && C_Gif::gif_code() == gif_code_from::GIF_Brek);
}

void C_Whole_decode::run() {
  // The picture must be that of the file the image stood for, read whole:
  // a file changed before or during the read is the owner's to renew.
  const std::optional<Image_header::File_version> before = version_of(file_name);
  const bool as_shown = before && (!version || version->same_picture(*before));
  file_changed = before && !as_shown;
  bool one_version = false;
  try {
    // A file gone since says why as a read of it would ("No such file or
    // directory").
    if (!before) Image_file_io::File_pieces().open(file_name, &why);
    if (as_shown && is_running_flag()) one_version = decode(*before);
  } catch (const std::exception& e) {
    picture.clear();
    // No memory for it fails the image as a decode of its own would: a
    // bad file or a want of memory costs one decode, not one a paint.
    Load_failure::note_exception(&why, e);
  }
  // Whatever its size: the owner takes the size it decoded to, as a
  // decode of its own does (a header reader may have found another).
  if (!one_version) {
    picture.clear();
    gif_bytes.clear();
    first_frame_empty = false;
  }
  // Nothing is wrong with a file the worker was stopped on or found
  // changed; one it decoded is not at fault either.
  if (!is_running_flag() || file_changed || !picture.empty() || first_frame_empty) why = Load_failure();
  C_Thread::run();
}

bool C_Whole_decode::decode(const Image_header::File_version& before) {
  const auto go_on = [this] { return is_running_flag(); };
  const auto unchanged = [&] {
    const std::optional<Image_header::File_version> after = version_of(file_name);
    file_changed = after && !before.same_picture(*after);
    return after && !file_changed;
  };
  if (extension == ".bmp") {
    // Read a row at a time: neither the file nor a second picture is held.
    Picture_fit::decode_whole_bmp(file_name, picture, had_alpha, &why, go_on);
    return unchanged();
  }
  std::vector<uint8_t> bytes;
  if (!Image_file_io::read_whole_file(file_name, bytes, &why)) return true;  // the file as it is: unreadable
  if (!unchanged()) return false;
  if (is_jpeg(extension)) {
    // One worker: the window's thread keeps a core for its paints.
    Jpeg_codec::decode(bytes.data(), bytes.size(), 1, picture, std::numeric_limits<int64_t>::max(), &why, go_on);
    return true;
  }
  Ref<C_Gif> gif = C_Gif::read_from_bytes(bytes.data(), int64_t(bytes.size()), false);
  gif->set_go_on(go_on);
  // A first frame that shows nothing fails the file only when no frame
  // shows anything; else the owner's animation starts on it.
  if (gif->render_current_frame().empty()) {
    first_frame_empty = is_running_flag() && gif->has_picture(&why);
    if (first_frame_empty) gif_bytes = std::move(bytes);
    return true;
  }
  picture = std::move(*gif->composed_bitmap()->pixels());
  gif_bytes = std::move(bytes);
  return true;
}

void C_Whole_decode::destroy_hook() {
  picture.clear();
  gif_bytes.clear();
  C_Thread::destroy_hook();
}

}  // namespace brek
