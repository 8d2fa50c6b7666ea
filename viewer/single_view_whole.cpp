// The whole picture behind the single view's first paint of a part: asked
// for by that paint, decoded by one worker once the paint is on the screen,
// handed to the image on a tick of the main thread. Until it comes a move
// pans within the part; a paint or command that needs the whole picture
// at once waits for the worker rather than decoding it a second time.
#include "viewer/single_view_whole.h"

#include <chrono>
#include <limits>
#include <thread>
#include <vector>

#include "images/image_file_io.h"
#include "images/image_header.h"
#include "images/jpeg_codec.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

// The first tick comes at the next turn of the main loop, after the paint
// that asked went to the screen; the worker is then looked at this often.
constexpr int64_t START_MS = 1;
constexpr int64_t POLL_MS = 10;

// What the file system says of a file: its size and modification time.
struct File_state {
  bool found = false;
  double size = 0;
  int64_t modified = 0;
  bool operator==(const File_state&) const = default;
};

File_state state_of(const std::string& path) {
  const Image_header::File_header h = Image_header::read_file(path, "", false, true);
  return File_state{h.found, h.file_size, h.found ? h.modified : 0};
}

}  // namespace

Ref<C_Whole_decode> C_Whole_decode::create(const Ref<C_Image>& image) {
  Ref<C_Whole_decode> job = make<C_Whole_decode>();
  job->file_name = image->file_name;
  job->width = image->width;
  job->height = image->height;
  job->file_size = image->file_size;
  job->modified_unix_ms = image->modified_unix_ms;
  return job;
}

void C_Whole_decode::run() {
  // The picture must be that of the file the image stood for when it was
  // shown, and read whole: a file changed before or during the read is
  // left to the listing, which renews its entry.
  const File_state before = state_of(file_name);
  const bool as_shown =
      before.found && (file_size <= 0 || (before.size == file_size && before.modified == modified_unix_ms));
  try {
    std::vector<uint8_t> bytes;
    if (as_shown && is_running_flag() && Image_file_io::read_whole_file(file_name, bytes) &&
        state_of(file_name) == before) {
      // One worker: the main thread keeps a core for the paints meanwhile.
      Jpeg_codec::decode(bytes.data(), bytes.size(), 1, picture, std::numeric_limits<int64_t>::max(), nullptr,
                         [this] { return is_running_flag(); });
    }
  } catch (const std::exception&) {
    picture.clear();
  }
  if (picture.width() != width || picture.height() != height) picture.clear();
  C_Thread::run();
}

void C_Whole_decode::destroy_hook() {
  picture.clear();
  C_Thread::destroy_hook();
}

// ---- the viewer's side --------------------------------------------------------

void C_Collage_viewer::want_whole_picture(const Ref<C_Image>& image) {
  if (is_none() || image.is_none()) return;
  drop_whole_decode();
  whole_image_ = image;
  timer_decode->set_interval(START_MS);
  timer_decode->set_enabled(true);
}

bool C_Collage_viewer::whole_picture_coming(const Ref<C_Image>& image) const {
  return !image.is_none() && whole_image_.get() == image.get() && image->picture.is_none();
}

void C_Collage_viewer::drop_whole_decode() {
  if (is_none() || (whole_job_.is_none() && whole_image_.is_none() && !timer_decode->is_enabled())) return;
  // A worker that runs stops at its next row and ends the object itself.
  whole_job_->stop();
  whole_job_.reset();
  whole_image_.reset();
  timer_decode->set_enabled(false);
}

void C_Collage_viewer::whole_decode_step() {
  if (is_none()) return;
  Ref<C_Image> image = whole_image_.lock();
  const bool wanted = !image.is_none() && single_mode && current_image().get() == image.get() &&
                      image->picture.is_none() && image->animation.is_none() && !image->load_failed;
  if (!wanted) {
    drop_whole_decode();
    return;
  }
  if (whole_job_.is_none()) {
    Ref<C_Whole_decode> job = C_Whole_decode::create(image);
    if (job->start().is_none()) {
      // No thread to be had: the paint that needs the picture decodes it.
      drop_whole_decode();
      return;
    }
    whole_job_ = job;
    timer_decode->set_interval(POLL_MS);
    return;
  }
  if (whole_job_->is_finished()) take_whole_picture(image);
}

void C_Collage_viewer::finish_whole_decode(const Ref<C_Image>& image) {
  if (is_none() || !whole_picture_coming(image)) return;
  if (whole_job_.is_none()) {
    // Not started yet: the caller's decode is as quick.
    drop_whole_decode();
    return;
  }
  while (!whole_job_->is_finished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  take_whole_picture(image);
}

void C_Collage_viewer::take_whole_picture(const Ref<C_Image>& image) {
  const Ref<C_Whole_decode> job = whole_job_;
  drop_whole_decode();
  if (job->picture.empty() || !image->picture.is_none()) return;
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
  Pixels* into = b->pixels();
  if (!into) return;
  *into = std::move(job->picture);
  b->take_pixel_size();
  image->picture = b;
  image->width = b->width;
  image->height = b->height;
  // The part has served; a view that lagged behind the pointer catches up.
  part_.reset();
  repaint();
}

}  // namespace brek
