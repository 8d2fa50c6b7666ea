#include "images/image.h"

#include <atomic>
#include <cctype>
#include <memory>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include "baselib/bounded_ask.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "baselib/system_functions.h"
#include "images/drawing_hooks.h"
#include "images/format_classes.h"
#include "images/image_file_io.h"
#include "images/image_file_name.h"
#include "images/image_header.h"
#include "images/native_image_files.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {

bool one_of(const std::string& e, std::initializer_list<const char*> list) {
  for (const char* s : list)
    if (e == s) return true;
  return false;
}

// An icon's pixels over opaque black, as a plain bitmap of the default depth.
Ref<C_Bitmap> on_black(const Ref<C_Icon>& icon) {
  Ref<C_Bitmap> b = C_Bitmap::create(icon->width, icon->height, 0);
  const Pixels* src = icon->pixels();
  Pixels* dst = b->pixels();
  if (!src || !dst || dst->width() != src->width() || dst->height() != src->height()) return Ref<C_Bitmap>();
  for (int y = 0; y < src->height(); ++y) {
    const uint32_t* s = src->row(y);
    uint32_t* d = dst->row(y);
    for (int x = 0; x < src->width(); ++x) {
      uint32_t p = s[x], a = Pixels::alpha(p);
      auto mix = [a](uint32_t c) { return uint8_t((c * a + 127) / 255); };
      d[x] = Pixels::bgra(mix(Pixels::blue(p)), mix(Pixels::green(p)), mix(Pixels::red(p)));
    }
  }
  return b;
}

}  // namespace

Ref<C_Bitmap> C_Image::frame_bitmap(const Ref<C_Gif>& gif) {
  const Pixels& f = gif->render_current_frame();
  if (f.empty()) return Ref<C_Bitmap>();
  Ref<C_Bitmap> b = C_Bitmap::create(f.width(), f.height(), 32);
  Pixels* p = b->pixels();
  if (!p || p->width() != f.width() || p->height() != f.height()) return Ref<C_Bitmap>();
  *p = f;
  return b;
}

Ref<C_Bitmap> C_Image::shown_picture(int64_t* frame) {
  if (frame) *frame = 0;
  if (animation.is_none()) return picture;
  if (frame) *frame = animation->current_frame;
  return animation->composed_bitmap();
}

Ref<C_Image> C_Image::create() { return make<C_Image>(); }

std::string C_Image::with_load_failure(const std::string& message) const {
  const std::string why = load_failed ? load_failure() : std::string();
  return why.empty() ? message : message + ": " + why;
}

std::string C_Image::extension() const { return Image_file_name::file_extension(file_name); }

bool C_Image::is_file() const { return Image_file_name::names_a_file(file_name); }

template <class Decode>
auto C_Image::decode(Decode d) -> decltype(d(nullptr)) {
  decltype(d(nullptr)) result;
  Load_failure why;
  try {
    result = d(&why);
  } catch (const Stop_exception&) {
    throw;  // the user cancelled: not a broken file
  } catch (const std::exception& e) {
    result = {};
    Load_failure::note_exception(&why, e);
  }
  if (result.is_none()) {
    load_failed = true;
    load_failure_reason = why;
  }
  return result;
}

void C_Image::read_header_info(double tw, double th) {
  if (is_none()) return;
  const std::string ext = extension();
  const bool want_size = width == 0 && height == 0 && tw > 0 && th > 0;
  const bool want_info = !version;
  if ((want_size || want_info) && is_file() && !on_silent_mount())
    take_header(Image_header::read_file(file_name, ext, want_size, want_info), want_size, want_info);
  if (one_of(ext, {".wmf", ".emf", ".flic", ".webp"})) return;
  Image_header::display_size(width, height, tw, th, display_width, display_height, load_needed);
}

void C_Image::take_header(const Image_header::File_header& h, bool want_size, bool want_info) {
  if (want_size) {
    width += h.size.width;
    height += h.size.height;
    if (h.size.fax_compressed) fax_compressed = true;
  }
  if (want_info && h.found) {
    version = h.version;
    Date_time::from_real(modified, Date_time::local_ms_from_unix(h.modified));
    Date_time::from_real(created, Date_time::local_ms_from_unix(h.created));
  }
}

namespace {

// What to read of one file.
struct Header_wanted {
  std::string name, extension;
  bool size = false, info = false;
};

// The headers, read on a worker in one question to the first file's
// mount (the files of one folder share it); nothing when it got no answer.
// A read that goes on from file to file is answering, however long.
std::optional<std::vector<Image_header::File_header>> read_bounded(const std::vector<Header_wanted>& wanted) {
  if (wanted.empty()) return std::vector<Image_header::File_header>();
  auto got = std::make_shared<std::vector<Image_header::File_header>>();
  auto read = std::make_shared<std::atomic<int64_t>>(0);
  const bool answered = Bounded_ask::detail::run(
      wanted.front().name,
      [got, read, wanted] {
        for (const Header_wanted& w : wanted) {
          got->push_back(Image_header::read_file(w.name, w.extension, w.size, w.info));
          read->fetch_add(1, std::memory_order_relaxed);
        }
      },
      read);
  if (!answered) return std::nullopt;
  return std::move(*got);
}

}  // namespace

bool C_Image::read_headers(const std::vector<Ref<C_Image>>& images, double tw, double th) {
  std::vector<Ref<C_Image>> taking;
  std::vector<Header_wanted> wanted;
  for (const Ref<C_Image>& image : images) {
    if (image.is_none() || !image->is_file()) continue;
    const bool size = image->width == 0 && image->height == 0 && tw > 0 && th > 0, info = !image->version;
    if (!size && !info) continue;
    taking.push_back(image);
    wanted.push_back(Header_wanted{image->file_name, image->extension(), size, info});
  }
  const std::optional<std::vector<Image_header::File_header>> got = read_bounded(wanted);
  if (!got || got->size() != taking.size()) return false;
  for (size_t k = 0; k < taking.size(); ++k) taking[k]->take_header((*got)[k], wanted[k].size, wanted[k].info);
  return true;
}

std::optional<std::vector<bool>> C_Image::files_changed(const std::vector<Ref<C_Image>>& images) {
  std::vector<Header_wanted> wanted;
  std::vector<size_t> at;
  for (size_t k = 0; k < images.size(); ++k) {
    const Ref<C_Image>& image = images[k];
    if (image.is_none() || !image->version || !image->is_file()) continue;
    at.push_back(k);
    wanted.push_back(Header_wanted{image->file_name, image->extension(), false, true});
  }
  const std::optional<std::vector<Image_header::File_header>> got = read_bounded(wanted);
  if (!got || got->size() != at.size()) return std::nullopt;
  std::vector<bool> changed(images.size(), false);
  for (size_t k = 0; k < at.size(); ++k) changed[at[k]] = images[at[k]]->changed_from((*got)[k]);
  return changed;
}

void C_Image::read_header_keeping_display(double tw, double th) {
  if (is_none()) return;
  const int64_t dw = display_width, dh = display_height;
  const bool needed = load_needed;
  read_header_info(tw, th);
  display_width = dw;
  display_height = dh;
  load_needed = needed;
}

bool C_Image::file_changed() const {
  if (is_none() || !version || !is_file() || on_silent_mount()) return false;
  return changed_from(Image_header::read_file(file_name, extension(), false, true));
}

bool C_Image::changed_from(const Image_header::File_header& h) const {
  if (is_none() || !version || !h.found) return false;
  // A chmod leaves the picture as it was, unless it made a file that
  // failed to load readable.
  return load_failed ? h.version != *version : !version->same_picture(h.version);
}

bool C_Image::on_silent_mount() const {
  return !is_none() && is_file() && !Bounded_ask::answers(file_name);
}

void C_Image::load_native() {
  if (is_none() || !picture.is_none() || !animation.is_none() || load_failed || !is_file() || on_silent_mount())
    return;
  const std::string e = extension();
  using W = Load_failure*;
  constexpr auto FULL = reduce_size_of_jpeg_while_load::FULL;
  if (e == ".gif") {
    // A GIF none of whose frames shows anything fails like any broken file.
    animation = decode([&](W why) {
      Ref<C_Gif> gif = C_Gif::load_from_file(file_name, why);
      return gif->has_picture(why) ? gif : Ref<C_Gif>();
    });
  } else if (e == ".ico" || e == ".cur") {
    Drawing_hooks::install();
    picture = decode([&](W why) {
      Ref<C_Icon> icon = C_Icon::load_from_file(file_name, why);
      // The decoded image's own size; nothing at all when it failed.
      if (icon.is_none()) return Ref<C_Bitmap>();
      Ref<C_Bitmap> b = on_black(icon);
      if (b.is_none()) Load_failure::no_memory(why);
      return b;
    });
  } else if (e == ".jpg" || e == ".jpeg") {
    picture = decode([&](W why) { return C_Jpeg::load_from_file(file_name, FULL, why); });
  } else if (e == ".png") {
    picture = decode([&](W why) { return C_Png::load_from_file(file_name, FULL, why); });
  } else if (e == ".bmp") {
    picture = decode([&](W why) { return C_Bmp::load_from_file(file_name, why); });
  } else if (e == ".pcd") {
    picture = decode([&](W why) { return C_Pcd::load_from_file(file_name, why); });
  } else if (e == ".pcx") {
    picture = decode([&](W why) { return C_Pcx::load_from_file(file_name, why); });
  } else if (e == ".psd") {
    picture = decode([&](W why) { return C_Psd::load_from_file(file_name, why); });
  } else if (e == ".tga") {
    picture = decode([&](W why) { return C_Tga::load_from_file(file_name, why); });
  } else if (e == ".tif" || e == ".tiff") {
    picture = decode([&](W why) { return C_Tiff::load_from_file(file_name, why); });
  } else if (e == ".webp") {
    picture = decode([&](W why) { return C_WebP::load_from_file(file_name, why); });
  } else if (e == ".xpm") {
    picture = decode([&](W why) { return C_Xpm::load_from_file(file_name, why); });
  }  // no reader: no picture, and nothing remembered
  if (animation.is_none()) {
    width = picture->width;
    height = picture->height;
  } else {
    width = animation->width();
    height = animation->height();
  }
}

C_Image::whole_result C_Image::load_whole(bool ticking) {
  if (is_none()) return whole_result::NONE;
  if (!picture.is_none() || !animation.is_none()) return whole_result::HELD;
  if (whole_decoding()) {
    wait_for_whole_decode(ticking);
    const whole_result r = take_whole_decode();
    if (r != whole_result::NONE) return r;
  }
  if (load_failed || !is_file()) return whole_result::NONE;
  // Read only as the version the image stands for: a file changed before
  // or during the read is another entry's.
  if (file_changed()) return whole_result::FILE_CHANGED;
  load_native();
  if (file_changed()) {
    release_whole();
    load_failed = false;
    load_failure_reason = Load_failure();
    return whole_result::FILE_CHANGED;
  }
  return picture.is_none() && animation.is_none() ? whole_result::NONE : whole_result::HELD;
}

void C_Image::wait_for_whole_decode(bool ticking) {
  const Ref<C_Whole_decode> job = whole_job_;
  while (!job->is_finished()) {
    // As long work waits: the handlers may show the long-operation window,
    // let the windows' messages run and raise the Stop of a Cancel.
    if (ticking) Brek_runtime::run_handlers();
    if (!job->is_finished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool C_Image::start_whole_decode() {
  if (is_none() || !picture.is_none() || !animation.is_none() || load_failed || !is_file() || on_silent_mount())
    return false;
  if (whole_decoding()) return true;
  if (!C_Whole_decode::reads(extension()) || width <= 0 || height <= 0) return false;
  Ref<C_Whole_decode> job = make<C_Whole_decode>();
  job->file_name = file_name;
  job->extension = extension();
  job->version = version;
  // No thread to be had: load_whole decodes it where it is asked.
  if (job->start().is_none()) return false;
  whole_job_ = job;
  return true;
}

C_Image::whole_result C_Image::take_whole_decode() {
  if (!picture.is_none() || !animation.is_none()) return whole_result::HELD;
  if (!whole_decoded()) return whole_result::NONE;
  const Ref<C_Whole_decode> job = whole_job_;
  whole_job_.reset();
  if (job->file_changed) return whole_result::FILE_CHANGED;
  if (job->picture.empty() && !job->first_frame_empty) {
    // The file is at fault: it fails here as in a decode of its own.
    if (job->why.failed()) {
      load_failed = true;
      load_failure_reason = job->why;
    }
    return whole_result::NONE;
  }
  if (job->extension == ".gif") {
    // Its frames read here from the same bytes, the first one as composed
    // there (nothing, where it showed nothing); too large to be read here,
    // its later frames are composed on workers too, from those bytes.
    auto bytes = std::make_shared<const std::vector<uint8_t>>(std::move(job->gif_bytes));
    Ref<C_Gif> gif = C_Gif::read_from_bytes(bytes->data(), int64_t(bytes->size()), false);
    const bool taken =
        job->first_frame_empty ? gif->adopt_empty_first_frame() : gif->adopt_first_frame(std::move(job->picture));
    if (!taken) return whole_result::NONE;
    gif->compose_on_workers(std::move(bytes));
    animation = gif;
    width = gif->width();
    height = gif->height();
    return whole_result::HELD;
  }
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, job->had_alpha ? 32 : 24);
  Pixels* into = b->pixels();
  if (!into) return whole_result::NONE;
  *into = std::move(job->picture);
  b->take_pixel_size();
  picture = b;
  width = b->width;
  height = b->height;
  return whole_result::HELD;
}

void C_Image::stop_whole_decode() {
  if (is_none()) return;
  // A worker that runs stops at its next rows and ends the object itself.
  whole_job_->stop();
  whole_job_.reset();
}

// Reduced (a JPEG or PNG of at least twice the target) by the first of 8,
// 4 and 2 that still covers the target, giving w x h; by none of them
// (divisor 0) the JPEG is read whole. Not reduced: load_native.
struct C_Image::Reduced_step {
  bool reduced = false;
  bool jpeg = false;
  int64_t divisor = 0;
  reduce_size_of_jpeg_while_load reduce = reduce_size_of_jpeg_while_load::FULL;
  double w = 0, h = 0;
};

C_Image::Reduced_step C_Image::reduced_step(double tw, double th) {
  Reduced_step step;
  const std::string e = extension();
  const bool jpeg = e == ".jpg" || e == ".jpeg", png = e == ".png";
  if (!(jpeg || png) || double(width / 2) < tw || double(height / 2) < th || !is_file()) return step;
  step.jpeg = jpeg;
  step.reduced = true;
  const double f = jpeg && is_platform_csharp() ? 0.5 : 1.0;
  static const std::pair<int64_t, reduce_size_of_jpeg_while_load> kSteps[] = {
      {8, reduce_size_of_jpeg_while_load::EIGH},
      {4, reduce_size_of_jpeg_while_load::QUAR},
      {2, reduce_size_of_jpeg_while_load::HALF}};
  for (auto [d, reduce] : kSteps) {
    const double w = double(width / d) * f, h = double(height / d) * f;
    if (w < tw || h < th) continue;
    step.divisor = d;
    step.reduce = reduce;
    step.w = w;
    step.h = h;
    break;
  }
  return step;
}

void C_Image::load(double tw, double th) {
  if (is_none() || on_silent_mount()) return;
  if ((picture.is_none() || load_needed) && !load_failed) {
    const Reduced_step step = reduced_step(tw, th);
    if (step.divisor > 0) {
      if (double(reduced->width) >= step.w && double(reduced->height) >= step.h) return;  // large enough already
      Ref<C_Bitmap> r = decode([&](Load_failure* why) {
        return step.jpeg ? C_Jpeg::load_from_file(file_name, step.reduce, why)
                         : C_Png::load_from_file(file_name, step.reduce, why);
      });
      if (!r.is_none()) reduced = r;
    } else {
      load_whole();
    }
  }
  if (display_width == 0) {
    display_width = width;
    display_height = height;
  }
}

bool C_Image::holds_more_than(double tw, double th) {
  if (is_none() || (picture.is_none() && animation.is_none() && reduced.is_none())) return false;
  if (!(tw > 0) || !(th > 0)) return true;
  const Reduced_step step = reduced_step(tw, th);
  if (step.divisor == 0) return false;
  if (!picture.is_none() || !animation.is_none()) return true;
  // A decoder rounds the step's size up: one pixel more is the same step.
  return double(reduced->width) > step.w + 1 || double(reduced->height) > step.h + 1;
}

bool C_Image::save_picture(const std::string& name, bool& nothing_to_save) {
  nothing_to_save = false;
  Image_file_io::clear_save_error();
  if (is_none()) return false;
  Ref<C_Bitmap> pic;
  if (animation.is_none()) {
    load_whole();
    pic = picture;
  } else {
    pic = frame_bitmap(animation);
  }
  if (pic.is_none()) {
    nothing_to_save = true;
    return false;
  }
  const std::string e = Image_file_name::file_extension(name);
  if (e == ".bmp") return C_Bmp::save(pic, name);
  if (e == ".jpg" || e == ".jpeg") return C_Jpeg::save(pic, name, 80);
  if (e == ".png") return C_Png::save(pic, name, 80);
  if (e == ".gif") return C_Gif::save(pic, name);
  if (e == ".webp") return C_WebP::save_to_file(pic, name, 0, 80);
  return false;
}

bool C_Image::save(const Ref<C_Form>& form, const std::string& name) {
  bool nothing = false;
  bool ok = save_picture(name, nothing);
  if (nothing) form->message(with_load_failure(Localize_str::text(lng::Image_load::CanNotLoadToSave)));
  return ok;
}

Ref<C_Image> C_Image::clone() {
  Ref<C_Image> c = create();
  c->file_name = file_name;
  c->width = width;
  c->height = height;
  c->display_width = display_width;
  c->display_height = display_height;
  c->version = version;
  c->rect = rect;
  c->quarter_turns = quarter_turns;
  c->flip_x = flip_x;
  c->flip_y = flip_y;
  c->modified = modified;
  c->created = created;
  release_pictures();
  return c;
}

void C_Image::set_rect(int64_t w, int64_t h) {
  if (is_none()) return;
  width = w;
  height = h;
}

void C_Image::set_load_options(const brek::rect& r) {
  if (is_none()) return;
  rect = r;
  if (rect.w > 0 && rect.w < 16) rect.w = 16;
  if (rect.h > 0 && rect.h < 16) rect.h = 16;
}

bool C_Image::is_platform_csharp() {
  if (platform_is_csharp < 0) {
    std::string d = System_functions::platform_description();
    for (char& c : d) c = char(std::tolower(static_cast<unsigned char>(c)));
    int64_t v = d.find("c#") != std::string::npos ? 1 : 0;
    if (is_none()) return v > 0;
    platform_is_csharp = v;
  }
  return platform_is_csharp > 0;
}

void C_Image::release_pictures() {
  if (is_none()) return;
  release_whole();
  reduced = Ref<C_Bitmap>();
}

void C_Image::release_whole() {
  if (is_none()) return;
  stop_whole_decode();
  // Another holder of the animation (a print card) shows a frame, no more.
  animation->stop_workers();
  picture = Ref<C_Bitmap>();
  animation = Ref<C_Gif>();
  applied_turns = 0;
  applied_flip_x = applied_flip_y = applied_inverse = false;
}

int64_t C_Image::bytes_held() const {
  if (is_none()) return 0;
  const int64_t n = 4 * (picture->width * picture->height + reduced->width * reduced->height);
  return n + animation->picture_bytes_held() + animation->frame_cache_bytes();
}

void C_Image::destroy_hook() {
  release_pictures();
  C_Thread::destroy_hook();
}

}  // namespace brek
