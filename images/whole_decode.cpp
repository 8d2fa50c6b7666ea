#include "images/whole_decode.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <vector>

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

// The turns of the workers: one makes its picture at a time.
class Turns {
 public:
  static Turns& of_process() {
    static Turns* turns = new Turns();  // never destroyed: workers may outlive statics
    return *turns;
  }

  // Waits for the turn of `job`; false when it was stopped first.
  bool take(const C_Whole_decode* job) {
    using clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock(mutex_);
    // Since when every holder has been stopped, still holding.
    bool stopped = false;
    clock::time_point stopped_since = clock::now();
    while (job->is_running_flag() && !holders_.empty()) {
      const bool all_stopped = std::none_of(holders_.begin(), holders_.end(),
                                            [](const C_Whole_decode* h) { return h->is_running_flag(); });
      if (all_stopped && !stopped) stopped_since = clock::now();
      stopped = all_stopped;
      // Stopped but stuck in a read that does not answer: passed by, or
      // it would hold back every picture after it for good.
      if (stopped && clock::now() - stopped_since >= STUCK) break;
      // Woken by a holder's end or a stop; the wait's bound notices the
      // stops of a program's end, which wake no one.
      wake_.wait_for(lock, std::chrono::milliseconds(10));
    }
    if (!job->is_running_flag()) return false;
    holders_.push_back(job);
    return true;
  }
  void give_back(const C_Whole_decode* job) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      holders_.erase(std::remove(holders_.begin(), holders_.end(), job), holders_.end());
    }
    wake_.notify_all();
  }
  void wake() { wake_.notify_all(); }

 private:
  // How long a stopped holder may stay in its work before the next goes
  // on: a stopped worker ends within rows, far sooner.
  static constexpr std::chrono::milliseconds STUCK{2000};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<const C_Whole_decode*> holders_;
};

// The turn of a worker for as long as it makes its picture.
class Turn {
 public:
  explicit Turn(const C_Whole_decode* job) : job_(job), taken_(Turns::of_process().take(job)) {}
  ~Turn() {
    if (taken_) Turns::of_process().give_back(job_);
  }
  Turn(const Turn&) = delete;
  Turn& operator=(const Turn&) = delete;
  bool taken() const { return taken_; }

 private:
  const C_Whole_decode* job_;
  bool taken_;
};

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
    if (as_shown && is_running_flag()) {
      const Turn turn(this);
      if (turn.taken()) one_version = decode(*before);
    }
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
    // A file deleted meanwhile says why as a read of it now would ("No
    // such file or directory"): it is gone, not another version.
    if (!after) Image_file_io::File_pieces().open(file_name, &why);
    return after && !file_changed;
  };
  if (extension == ".bmp") {
    // Read a row at a time: neither the file nor a second picture is held.
    Picture_fit::decode_whole_bmp(file_name, picture, had_alpha, &why, go_on);
    return unchanged();
  }
  std::vector<uint8_t> bytes;
  if (!Image_file_io::read_whole_file(file_name, bytes, &why, go_on))
    return is_running_flag();  // the file as it is: unreadable (or the worker stopped)
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

void C_Whole_decode::stop() {
  C_Thread::stop();
  Turns::of_process().wake();
}

void C_Whole_decode::destroy_hook() {
  picture.clear();
  gif_bytes.clear();
  C_Thread::destroy_hook();
}

}  // namespace brek
