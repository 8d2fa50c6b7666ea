#include "images/jpeg_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

#include <jerror.h>
#include <jpeglib.h>

#include "images/jpeg_restarts.h"

namespace brek {

E_Jpeg_error::E_Jpeg_error(int code, load_failure_kind kind, std::string said)
    : Brek_Exception("JPEG error #" + std::to_string(code)), code_(code), kind_(kind), said_(std::move(said)) {}

namespace Jpeg_codec {

namespace {

// Coefficient buffers of progressive files are the one large allocation of
// the library; this bounds them (the output itself is bounded by Pixels).
constexpr long MAX_LIBRARY_MEMORY = 2000L * 1000 * 1000;

// Everything the library touches lives here, in plain C types: a longjmp
// out of the library only ever unwinds frames that hold nothing else.
struct Error_mgr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code;        // library message code of the error
  bool too_many;   // scan limit exceeded (a malformed file, not an error)
  bool stopped;    // the decode is no longer wanted
  bool ran_out;    // the data ended early (the source made up its end)
};

struct Progress_mgr {
  jpeg_progress_mgr pub;
  Error_mgr* err;
  const Go_on* go_on;  // none: always wanted
};

extern "C" void on_error_exit(j_common_ptr cinfo) {
  Error_mgr* e = reinterpret_cast<Error_mgr*>(cinfo->err);
  e->code = e->pub.msg_code;
  std::longjmp(e->jump, 1);
}

// Warnings (corrupt data, premature end) are ignored: what decoded shows.
// An early end is noted, as it explains an error that follows.
extern "C" void on_emit_message(j_common_ptr cinfo, int level) {
  Error_mgr* e = reinterpret_cast<Error_mgr*>(cinfo->err);
  if (level < 0 && e->pub.msg_code == JWRN_JPEG_EOF) e->ran_out = true;
}
extern "C" void on_output_message(j_common_ptr) {}

extern "C" void on_progress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
  Progress_mgr* p = reinterpret_cast<Progress_mgr*>(cinfo->progress);
  if (d->input_scan_number > MAX_SCANS) {
    p->err->too_many = true;
    std::longjmp(p->err->jump, 1);
  }
  if (p->go_on && *p->go_on && !(*p->go_on)()) {
    p->err->stopped = true;
    std::longjmp(p->err->jump, 1);
  }
}

void setup_errors(Error_mgr& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = on_error_exit;
  err.pub.emit_message = on_emit_message;
  err.pub.output_message = on_output_message;
  err.code = 0;
  err.too_many = false;
  err.stopped = false;
  err.ran_out = false;
}

// What a library error means for the file.
load_failure_kind kind_of(const Error_mgr& err) {
  switch (err.code) {
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:  // past the memory cap
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
      return load_failure_kind::TOO_LARGE;
    case JERR_ARITH_NOTIMPL:
    case JERR_BAD_PRECISION:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_EMPTY_IMAGE:
    case JERR_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_SOF_UNSUPPORTED:
      return load_failure_kind::UNSUPPORTED;
    default:
      return err.ran_out ? load_failure_kind::TRUNCATED : load_failure_kind::MALFORMED;
  }
}

struct Decode_job {
  jpeg_decompress_struct cinfo;
  Error_mgr err;
  Progress_mgr progress;
  bool created;
  bool cmyk;
  bool adobe;
};

// Header and output size, read through `source` or else from the bytes;
// go_on (none: always) is asked between rows. 0 when fine, 1 after a
// longjmp.
int decode_header(Decode_job* job, const uint8_t* data, size_t size, int factor, jpeg_source_mgr* source,
                  const Go_on* go_on = nullptr) {
  if (setjmp(job->err.jump)) return 1;
  jpeg_create_decompress(&job->cinfo);
  job->created = true;
  job->cinfo.mem->max_memory_to_use = MAX_LIBRARY_MEMORY;
  job->progress.pub.progress_monitor = on_progress;
  job->progress.err = &job->err;
  job->progress.go_on = go_on;
  job->cinfo.progress = &job->progress.pub;
  if (source)
    job->cinfo.src = source;
  else
    jpeg_mem_src(&job->cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&job->cinfo, TRUE);
  job->cinfo.scale_num = 1;
  job->cinfo.scale_denom = (factor == 2 || factor == 4 || factor == 8) ? factor : 1;
  job->cinfo.dct_method = JDCT_ISLOW;
  job->cinfo.do_fancy_upsampling = TRUE;
  J_COLOR_SPACE in = job->cinfo.jpeg_color_space;
  job->cmyk = in == JCS_CMYK || in == JCS_YCCK;
  job->adobe = job->cinfo.saw_Adobe_marker;
  job->cinfo.out_color_space = job->cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_calc_output_dimensions(&job->cinfo);
  return 0;
}

// Starts the decompression when asked and reads the rows up to `to` into
// rows[] (each 4 bytes per pixel). 0 when fine, 1 after a longjmp. The
// data after the rows is never decoded: damage there costs nothing of the
// picture, whichever way it was decoded.
int read_band(Decode_job* job, JSAMPROW* rows, JDIMENSION to, bool start) {
  if (setjmp(job->err.jump)) return 1;
  if (start) jpeg_start_decompress(&job->cinfo);
  while (job->cinfo.output_scanline < to) {
    JDIMENSION at = job->cinfo.output_scanline;
    if (jpeg_read_scanlines(&job->cinfo, rows + at, to - at) == 0) break;
  }
  return 0;
}

// The second decoder's source: the headers (the frame's height cut), then
// the file's bytes after the restart marker it starts at; past their end a
// made-up end of image, as the library's memory source gives.
struct Band_source {
  jpeg_source_mgr pub;
  const uint8_t* rest;
  size_t rest_size;
  bool rest_given;
};

extern "C" void band_init(j_decompress_ptr) {}
extern "C" void band_term(j_decompress_ptr) {}

extern "C" boolean band_fill(j_decompress_ptr cinfo) {
  Band_source* s = reinterpret_cast<Band_source*>(cinfo->src);
  if (!s->rest_given && s->rest_size > 0) {
    s->rest_given = true;
    s->pub.next_input_byte = s->rest;
    s->pub.bytes_in_buffer = s->rest_size;
    return TRUE;
  }
  s->rest_given = true;
  static const JOCTET end_of_image[2] = {0xFF, JPEG_EOI};
  WARNMS(cinfo, JWRN_JPEG_EOF);
  s->pub.next_input_byte = end_of_image;
  s->pub.bytes_in_buffer = 2;
  return TRUE;
}

extern "C" void band_skip(j_decompress_ptr cinfo, long n) {
  jpeg_source_mgr* src = cinfo->src;
  if (n <= 0) return;
  while (static_cast<size_t>(n) > src->bytes_in_buffer) {
    n -= static_cast<long>(src->bytes_in_buffer);
    band_fill(cinfo);
  }
  src->next_input_byte += n;
  src->bytes_in_buffer -= static_cast<size_t>(n);
}

// Where a second decoder takes a header-read file over, and the sizes it
// checks its own against (copied: the first decoder's state changes while
// the second runs).
struct Band_plan {
  JDIMENSION width = 0, height = 0;  // of the output
  int64_t image_height = 0;          // of the file
  Jpeg_restarts::Scan scan;
  int64_t entry = 0;       // the MCU row it starts at
  int64_t mcu_height = 0;  // in the file's rows
  JDIMENSION start = 0;    // that row's first output row
  // The first output row it gives: the row above lacks the upsampling's
  // context above it, and only the next is as a whole decode makes it.
  JDIMENSION first = 0;
};

// The offset in the file of the byte the library reads next (after the
// headers: the scan's first); false when it reads elsewhere. A memory
// source that ran out of the file's bytes hands the library an end of
// image of its own, outside the file.
bool file_offset(const Decode_job& job, const uint8_t* data, size_t size, size_t& offset) {
  if (job.err.ran_out || !job.cinfo.src) return false;
  const uintptr_t at = reinterpret_cast<uintptr_t>(job.cinfo.src->next_input_byte);
  const uintptr_t from = reinterpret_cast<uintptr_t>(data);
  if (at < from || at - from > size || job.cinfo.src->bytes_in_buffer != size - (at - from)) return false;
  offset = size_t(at - from);
  return true;
}

// False when one decoder reads the file: a progressive or small one, one
// without a restart marker that starts a row near the middle, or one whose
// headers were not all in the file.
bool plan_band(const Decode_job& job, const uint8_t* data, size_t size, int64_t split_pixels, Band_plan& plan) {
  const jpeg_decompress_struct& c = job.cinfo;
  if (c.progressive_mode || c.restart_interval == 0 || c.comps_in_scan != c.num_components) return false;
  if (int64_t(c.image_width) * int64_t(c.image_height) < split_pixels) return false;
  if (!file_offset(job, data, size, plan.scan.start)) return false;
  if (!Jpeg_restarts::blocks_in_sequence(data, size, plan.scan)) return false;
  const int64_t mcu_w = c.comps_in_scan == 1 ? DCTSIZE : DCTSIZE * c.max_h_samp_factor;
  const int64_t mcu_h = c.comps_in_scan == 1 ? DCTSIZE : DCTSIZE * c.max_v_samp_factor;
  const int64_t denom = c.scale_denom;
  plan.scan.mcus_per_row = (int64_t(c.image_width) + mcu_w - 1) / mcu_w;
  plan.scan.mcu_rows = (int64_t(c.image_height) + mcu_h - 1) / mcu_h;
  plan.scan.restart_interval = c.restart_interval;
  plan.entry = Jpeg_restarts::entry_row(plan.scan, plan.scan.mcu_rows / 2);
  plan.mcu_height = mcu_h;
  plan.start = JDIMENSION(plan.entry * mcu_h / denom);
  plan.first = JDIMENSION((plan.entry + 1) * mcu_h / denom);
  plan.width = c.output_width;
  plan.height = c.output_height;
  plan.image_height = c.image_height;
  return plan.entry > 0 && plan.first < c.output_height;
}

// The second decoder: from the plan's entry to the bottom, its first MCU
// row into a scratch row, the rest into rows[]. True when it made them all.
bool read_from_entry(const uint8_t* data, size_t size, int factor, const Band_plan& plan, JSAMPROW* rows,
                     const Go_on* go_on) {
  const size_t at = Jpeg_restarts::entry_offset(data, size, plan.scan, plan.entry);
  std::vector<uint8_t> headers;
  const int64_t band_height = plan.image_height - plan.entry * plan.mcu_height;
  if (at == 0 || !Jpeg_restarts::headers_with_height(data, size, plan.scan, band_height, headers)) return false;
  Band_source source{};
  source.pub.init_source = band_init;
  source.pub.fill_input_buffer = band_fill;
  source.pub.skip_input_data = band_skip;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = band_term;
  source.pub.next_input_byte = headers.data();
  source.pub.bytes_in_buffer = headers.size();
  source.rest = data + at;
  source.rest_size = size - at;
  std::vector<uint8_t> scratch(size_t(plan.width) * 4);
  const JDIMENSION n = plan.height - plan.start;
  std::vector<JSAMPROW> band_rows(n);
  for (JDIMENSION i = 0; i < n; ++i) band_rows[i] = plan.start + i < plan.first ? scratch.data() : rows[plan.start + i];
  Decode_job band{};
  setup_errors(band.err);
  band.cinfo.err = &band.err.pub;
  const bool ok = decode_header(&band, nullptr, 0, factor, &source.pub, go_on) == 0 &&
                  band.cinfo.output_width == plan.width && band.cinfo.output_height == n &&
                  band.cinfo.output_components == 4 && read_band(&band, band_rows.data(), n, true) == 0 &&
                  band.cinfo.output_scanline >= n;
  if (band.created) jpeg_destroy_decompress(&band.cinfo);
  return ok;
}

// The first decoder reads the rows above the plan's band while a second
// one reads the band from its restart marker, neither reading what the
// other does. Returns the rows read (all of them, or the band's first row
// when the second decoder failed and the first must go on), or -1 after a
// failure of the first.
int64_t read_split(Decode_job* job, const uint8_t* data, size_t size, int factor, JSAMPROW* rows,
                   const Band_plan& plan, const Go_on* go_on) {
  bool band_done = false;
  std::thread thread;
  try {
    thread = std::thread([&] {
      try {
        band_done = read_from_entry(data, size, factor, plan, rows, go_on);
      } catch (const std::exception&) {
        band_done = false;  // no memory for it: the first decoder goes on
      }
    });
  } catch (const std::exception&) {
    // No thread to be had: one decoder does it all.
  }
  const int failed = read_band(job, rows, plan.first, true);
  if (thread.joinable()) thread.join();
  if (failed) return -1;
  return band_done ? int64_t(plan.height) : int64_t(plan.first);
}

// CMYK bytes (C, M, Y, K in memory) to B, G, R, A in place. Adobe writes
// the inks inverted, which is what nearly every CMYK JPEG holds.
void cmyk_to_bgra(Pixels& p, bool inverted) {
  uint8_t* b = p.bytes();
  size_t n = static_cast<size_t>(p.width()) * static_cast<size_t>(p.height());
  for (size_t i = 0; i < n; ++i, b += 4) {
    unsigned c = b[0], m = b[1], y = b[2], k = b[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    b[0] = static_cast<uint8_t>((y * k + 127) / 255);
    b[1] = static_cast<uint8_t>((m * k + 127) / 255);
    b[2] = static_cast<uint8_t>((c * k + 127) / 255);
    b[3] = 255;
  }
}

// Starts the decompression and keeps the columns from *x on, *w wide,
// widened by the library to whole iMCUs. 0 when fine, 1 after a longjmp.
int start_part(Decode_job* job, JDIMENSION* x, JDIMENSION* w) {
  if (setjmp(job->err.jump)) return 1;
  jpeg_start_decompress(&job->cinfo);
  jpeg_crop_scanline(&job->cinfo, x, w);
  return 0;
}

// Passes over the rows above `top` (the library still reads their data and
// makes the row above the part, the upsampling's context) and reads rows
// into `out` from its top, counting them in *read. 0 when fine, 1 after a
// longjmp.
int read_part_rows(Decode_job* job, JDIMENSION top, Pixels* out, int64_t* read) {
  if (setjmp(job->err.jump)) return 1;
  if (top > 0) jpeg_skip_scanlines(&job->cinfo, top);
  while (*read < out->height()) {
    JSAMPROW row = out->bytes() + size_t(*read) * out->stride();
    if (jpeg_read_scanlines(&job->cinfo, &row, 1) != 1) break;
    ++*read;
  }
  return 0;
}

// Rows the library did not reach show black, not old memory.
void black_from(Pixels& p, int64_t row) {
  for (int64_t y = row; y < p.height(); ++y) std::fill_n(p.row(static_cast<int>(y)), p.width(), 0xFF000000u);
}

// The part around `want` on a picture of w x h with a margin of mw x mh
// where the picture goes on; empty when nothing of want is on it.
Part part_around(const Part& want, int64_t w, int64_t h, int64_t mw, int64_t mh) {
  auto end = [](int64_t start, int64_t length, int64_t limit) {
    int64_t e;
    if (length <= 0) return std::clamp<int64_t>(start, 0, limit);
    if (__builtin_add_overflow(start, length, &e)) e = limit;
    return std::clamp<int64_t>(e, 0, limit);
  };
  const int64_t x0 = std::clamp<int64_t>(want.x, 0, w), y0 = std::clamp<int64_t>(want.y, 0, h);
  const int64_t x1 = end(want.x, want.w, w), y1 = end(want.y, want.h, h);
  if (x0 >= x1 || y0 >= y1) return Part{};
  const int64_t l = std::max<int64_t>(0, x0 - mw), t = std::max<int64_t>(0, y0 - mh);
  return Part{l, t, std::min(w, x1 + mw) - l, std::min(h, y1 + mh) - t};
}

// The part less the margin on each side that is not the picture's edge.
Part inside_margins(const Part& p, int64_t w, int64_t h, int64_t mw, int64_t mh) {
  const int64_t l = p.x > 0 ? p.x + mw : 0, t = p.y > 0 ? p.y + mh : 0;
  const int64_t r = p.x + p.w < w ? p.x + p.w - mw : p.x + p.w;
  const int64_t b = p.y + p.h < h ? p.y + p.h - mh : p.y + p.h;
  return Part{l, t, std::max<int64_t>(0, r - l), std::max<int64_t>(0, b - t)};
}

// Whether the library's error means the bytes are no JPEG at all: they do
// not start with its start of image, or what follows that is no marker
// (a JPEG's next segment starts with 0xFF) and the library found no image.
bool not_a_jpeg(const Error_mgr& err, const uint8_t* data, size_t size) {
  return err.code == JERR_NO_SOI || (err.code == JERR_NO_IMAGE && size > 2 && data[2] != 0xFF);
}

// Throws the library's error, or gives false for a file with too many
// scans (`why` told either way) or a decode no longer wanted; `out` is
// emptied.
bool failed_decode(const Decode_job& job, const uint8_t* data, size_t size, Pixels& out, Load_failure* why) {
  out.clear();
  if (job.err.stopped) return false;
  if (job.err.too_many)
    return Load_failure::note(why, load_failure_kind::MALFORMED, "over " + std::to_string(MAX_SCANS) + " scans");
  const bool foreign = not_a_jpeg(job.err, data, size);
  E_Jpeg_error error(job.err.code, foreign ? load_failure_kind::MALFORMED : kind_of(job.err),
                     foreign ? "not a JPEG file" : "");
  Load_failure::note(why, error.failure());
  throw error;
}

// The end of every decode: the job goes; a failure throws or gives false
// with `out` emptied, a picture read is turned to B, G, R, A.
bool finish_decode(Decode_job& job, const uint8_t* data, size_t size, int failed, bool ok, Pixels& out,
                   Load_failure* why) {
  if (job.created) jpeg_destroy_decompress(&job.cinfo);
  if (failed) return failed_decode(job, data, size, out, why);
  if (!ok) {
    out.clear();
    return false;
  }
  if (job.cmyk) cmyk_to_bgra(out, job.adobe);
  return true;
}

// Whether the library gives the four bytes a pixel takes.
bool four_components(const Decode_job& job, Load_failure* why) {
  if (job.cinfo.output_components == 4) return true;
  return Load_failure::note(why, load_failure_kind::UNSUPPORTED,
                            std::to_string(job.cinfo.output_components) + " output components");
}

struct Encode_job {
  jpeg_compress_struct cinfo;
  Error_mgr err;
  bool created;
  unsigned char* buffer;
  unsigned long size;
};

int encode_rows(Encode_job* job, const Pixels* in, int quality) {
  if (setjmp(job->err.jump)) return 1;
  jpeg_create_compress(&job->cinfo);
  job->created = true;
  jpeg_mem_dest(&job->cinfo, &job->buffer, &job->size);
  job->cinfo.image_width = static_cast<JDIMENSION>(in->width());
  job->cinfo.image_height = static_cast<JDIMENSION>(in->height());
  job->cinfo.input_components = 4;
  job->cinfo.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&job->cinfo);
  jpeg_set_quality(&job->cinfo, quality, TRUE);
  job->cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&job->cinfo, TRUE);
  while (job->cinfo.next_scanline < job->cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(
        reinterpret_cast<const JSAMPLE*>(in->row(static_cast<int>(job->cinfo.next_scanline))));
    jpeg_write_scanlines(&job->cinfo, &row, 1);
  }
  jpeg_finish_compress(&job->cinfo);
  return 0;
}

}  // namespace

bool decode(const uint8_t* data, size_t size, int factor, Pixels& out, int64_t split_pixels, Load_failure* why,
            const Go_on& go_on) {
  Decode_job job{};
  setup_errors(job.err);
  job.cinfo.err = &job.err.pub;
  std::vector<JSAMPROW> rows;
  int failed = decode_header(&job, data, size, factor, nullptr, &go_on);
  bool ok = false;
  if (!failed) {
    int64_t w = job.cinfo.output_width, h = job.cinfo.output_height;
    if (Load_failure::size_allowed(w, h, why) && four_components(job, why) &&
        (out.resize_unfilled(static_cast<int>(w), static_cast<int>(h)) || Load_failure::no_memory(why))) {
      rows.resize(static_cast<size_t>(h));
      for (int y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = out.bytes() + size_t(y) * out.stride();
      int64_t read = 0;
      Band_plan plan;
      if (std::thread::hardware_concurrency() > 1 && plan_band(job, data, size, split_pixels, plan))
        read = read_split(&job, data, size, factor, rows.data(), plan, &go_on);
      if (read < 0) {
        failed = 1;
      } else if (read < h) {
        // One decoder to the end (from where a split one stopped).
        failed = read_band(&job, rows.data(), JDIMENSION(h), read == 0);
        read = job.cinfo.output_scanline;
      }
      ok = !failed;
      if (ok) black_from(out, read);
    }
  }
  return finish_decode(job, data, size, failed, ok, out, why);
}

int64_t second_decoder_row(const uint8_t* data, size_t size, int factor, int64_t split_pixels) {
  Decode_job job{};
  setup_errors(job.err);
  job.cinfo.err = &job.err.pub;
  int64_t row = 0;
  Band_plan plan;
  if (decode_header(&job, data, size, factor, nullptr) == 0 && plan_band(job, data, size, split_pixels, plan) &&
      Jpeg_restarts::entry_offset(data, size, plan.scan, plan.entry) != 0)
    row = plan.first;
  if (job.created) jpeg_destroy_decompress(&job.cinfo);
  return row;
}

bool decode_part(const uint8_t* data, size_t size, const Part& want, Pixels& out, Part& got, Load_failure* why,
                 Part* exact) {
  got = Part{};
  if (exact) *exact = Part{};
  Part placed, exact_placed;
  Decode_job job{};
  setup_errors(job.err);
  job.cinfo.err = &job.err.pub;
  int failed = decode_header(&job, data, size, 1, nullptr);
  bool ok = false;
  if (!failed) {
    const jpeg_decompress_struct& c = job.cinfo;
    // A progressive file cut short is smoothed across two blocks of a
    // subsampled component: its part keeps three iMCUs of columns more.
    const int64_t margins = c.progressive_mode ? 3 : 1;
    const int64_t mw = margins * DCTSIZE * int64_t(c.max_h_samp_factor), mh = DCTSIZE * int64_t(c.max_v_samp_factor);
    // The crop below makes the output width the part's.
    const int64_t pic_w = c.output_width, pic_h = c.output_height;
    const Part part = part_around(want, pic_w, pic_h, mw, mh);
    JDIMENSION x = JDIMENSION(part.x), w = JDIMENSION(part.w);
    if (part.w <= 0) Load_failure::note(why, load_failure_kind::UNSUPPORTED, "part off the picture");
    if (part.w > 0 && four_components(job, why) && !(failed = start_part(&job, &x, &w)) &&
        Load_failure::size_allowed(w, part.h, why) &&
        (out.resize_unfilled(static_cast<int>(w), static_cast<int>(part.h)) || Load_failure::no_memory(why))) {
      placed = Part{int64_t(x), part.y, int64_t(w), part.h};
      exact_placed = inside_margins(placed, pic_w, pic_h, mw, mh);
      int64_t read = 0;
      failed = read_part_rows(&job, JDIMENSION(part.y), &out, &read);
      ok = !failed;
      if (ok) black_from(out, read);
    }
  }
  if (!finish_decode(job, data, size, failed, ok, out, why)) return false;
  got = placed;
  if (exact) *exact = exact_placed;
  return true;
}

bool encode(const Pixels& in, int quality, std::vector<uint8_t>& out) {
  out.clear();
  if (in.empty()) return false;
  Encode_job job{};
  setup_errors(job.err);
  job.cinfo.err = &job.err.pub;
  int failed = encode_rows(&job, &in, quality < 1 ? 1 : quality > 100 ? 100 : quality);
  if (job.created) jpeg_destroy_compress(&job.cinfo);
  if (!failed && job.buffer) out.assign(job.buffer, job.buffer + job.size);
  std::free(job.buffer);
  if (failed) throw E_Jpeg_error(job.err.code);
  return true;
}

}  // namespace Jpeg_codec
}  // namespace brek
