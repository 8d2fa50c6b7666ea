#pragma once
// C_Whole_decode: the whole picture of a JPEG that the single view first
// showed from the part in the window, decoded on a worker thread once that
// part is on the screen, so that the first pointer move finds it ready
// (Single_view_picture starts and watches it).
//
// The owner sets the fields before start(), stops the worker when the
// picture is no longer wanted and reads the results only once
// is_finished() is true. The fields are plain data, no references to
// objects, so the object may end on either thread.

#include <cstdint>
#include <optional>
#include <string>

#include "baselib/thread.h"
#include "drawing/pixels.h"
#include "images/image.h"
#include "images/image_header.h"

namespace brek {

class C_Whole_decode : public C_Thread {
  BREK_CLASS(C_Whole_decode)
 public:
  // The file, and what the image knew of it when it was shown: its size in
  // pixels and the version of the file (when it had read one).
  std::string file_name;
  int64_t width = 0, height = 0;
  std::optional<Image_header::File_version> version;
  // The whole picture once finished; empty when the file was not the one
  // shown, did not decode, or the worker was stopped. A file that does not
  // decode is left to the decode on the main thread, which remembers why.
  Pixels picture;
  // The file is there but is another version than the image stood for
  // (written, replaced, renamed over): the image's entry is to be renewed.
  bool file_changed = false;

  // A decode of the image's file as the image knows it.
  static Ref<C_Whole_decode> create(const Ref<C_Image>& image);

  void run() override;
  void destroy_hook() override;
};

}  // namespace brek
