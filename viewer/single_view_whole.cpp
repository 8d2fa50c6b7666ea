// The worker that decodes the whole picture behind the single view's first
// paint of a part (single_view_picture.cpp asks for it and takes it).
#include "viewer/single_view_whole.h"

#include <limits>
#include <vector>

#include "images/image_file_io.h"
#include "images/jpeg_codec.h"

namespace brek {

Ref<C_Whole_decode> C_Whole_decode::create(const Ref<C_Image>& image) {
  Ref<C_Whole_decode> job = make<C_Whole_decode>();
  job->file_name = image->file_name;
  job->width = image->width;
  job->height = image->height;
  job->version = image->version;
  return job;
}

void C_Whole_decode::run() {
  // The picture must be that of the file the image stood for when it was
  // shown, and read whole: a file changed before or during the read is
  // the owner's to renew.
  const Image_header::File_header before = Image_header::read_file(file_name, "", false, true);
  const bool as_shown = before.found && (!version || version->same_picture(before.version));
  bool read_whole = false;
  try {
    std::vector<uint8_t> bytes;
    if (as_shown && is_running_flag() && Image_file_io::read_whole_file(file_name, bytes)) {
      const Image_header::File_header after = Image_header::read_file(file_name, "", false, true);
      read_whole = after.found && before.version.same_picture(after.version);
      file_changed = !read_whole && after.found;
      // One worker: the main thread keeps a core for the paints meanwhile.
      if (read_whole)
        Jpeg_codec::decode(bytes.data(), bytes.size(), 1, picture, std::numeric_limits<int64_t>::max(), nullptr,
                           [this] { return is_running_flag(); });
    }
  } catch (const std::exception&) {
    picture.clear();
  }
  if (before.found && !as_shown) file_changed = true;
  if (picture.width() != width || picture.height() != height) picture.clear();
  C_Thread::run();
}

void C_Whole_decode::destroy_hook() {
  picture.clear();
  C_Thread::destroy_hook();
}

}  // namespace brek
