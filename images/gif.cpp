// Reading a GIF file: header, logical screen, palettes, extensions and the
// frames' compressed data. Every read is bounded by the data; a damaged or
// truncated file keeps what could be read.
#include "images/gif.h"

#include <algorithm>
#include <cstring>

#include "baselib/global_var.h"
#include "baselib/stream.h"
#include "drawing/bitmap.h"
#include "drawing/brek_drawing.h"
#include "images/image_file_io.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {

constexpr int kEnd = -1;  // no byte: the end of the data

// Approximate cost of the records, for the reading budget.
constexpr int64_t kFrameCost = 256;
constexpr int64_t kExtensionCost = 160;
constexpr int64_t kSubBlockCost = 48;

int64_t color_of(const St_color_item__C_Gif& c) {
  return int64_t(c.red) + int64_t(c.green) * 256 + int64_t(c.blue) * 65536;
}

}  // namespace

// A cursor over the file's bytes; reads past the end give kEnd.
struct C_Gif::Reader {
  const uint8_t* p = nullptr;
  int64_t size = 0;
  int64_t pos = 0;
  int64_t budget = MAX_RECORD_BYTES;

  int64_t remaining() const { return size - pos; }
  bool at_end() const { return pos >= size; }
  bool over_budget() const { return budget < 0; }
  int byte() { return pos < size ? p[pos++] : kEnd; }
  // A little-endian 16-bit value; the caller has checked that 2 bytes remain.
  int64_t le16() {
    int64_t v = int64_t(p[pos]) | (int64_t(p[pos + 1]) << 8);
    pos += 2;
    return v;
  }
  // Up to n bytes, cut at the end of the data.
  std::vector<uint8_t> take(int64_t n) {
    n = std::max<int64_t>(0, std::min(n, remaining()));
    std::vector<uint8_t> v(p + pos, p + pos + n);
    pos += n;
    return v;
  }
  // Moves to just past the next zero byte followed by ","; false (and at
  // the end) when there is none.
  bool find_frame_start() {
    for (int64_t i = pos; i + 1 < size; ++i) {
      if (p[i] == 0 && p[i + 1] == ',') {
        pos = i + 2;
        return true;
      }
    }
    pos = size;
    return false;
  }
  // Reads data sub-blocks up to the zero-length one (or the end of the
  // data); keeps them in ext when given. Returns the terminating length byte
  // (0, or kEnd at the end of the data).
  int sub_blocks(St_extension__C_Gif* ext) {
    for (;;) {
      int n = byte();
      if (n <= 0) return n;
      int64_t k = std::min<int64_t>(n, remaining());
      if (ext) {
        ext->texts.emplace_back(reinterpret_cast<const char*>(p + pos), static_cast<size_t>(k));
        int64_t lo = k > 1 ? p[pos + 1] : 0;
        int64_t hi = k > 2 ? p[pos + 2] : 0;
        ext->values.push_back(lo | (hi << 8));
        budget -= k + kSubBlockCost;
      }
      pos += k;
    }
  }
};

// ---- the option -------------------------------------------------------------

void C_Gif::set_gif_code(gif_code_from code) {
  C_Global_var::set("Gif_code", static_cast<int64_t>(code));
}

gif_code_from C_Gif::gif_code() {
  int64_t v = C_Global_var::get("Gif_code");
  if (v == 1) return gif_code_from::GIF_NATIVE;
  if (v == 2) return gif_code_from::GIF_Brek;
  return gif_code_from::GIF_BOTH;
}

// ---- loading ----------------------------------------------------------------

Ref<C_Gif> C_Gif::load_from_file(const std::string& file_name, Load_failure* why) {
  std::vector<uint8_t> bytes;
  if (!Image_file_io::read_whole_file(file_name, bytes, why)) return Ref<C_Gif>();
  return load_from_bytes(bytes.data(), static_cast<int64_t>(bytes.size()));
}

Ref<C_Gif> C_Gif::load_from_stream(const Ref<C_Stream>& stream) {
  std::vector<uint8_t> bytes;
  int64_t rest = stream->size_int64() - stream->position_int64();
  if (rest > 0 && rest <= Image_file_io::MAX_FILE_BYTES) {
    bytes.resize(static_cast<size_t>(rest));
    int64_t got = 0;
    while (got < rest) {
      int64_t n = stream->read_buffer(bytes.data() + got, rest - got);
      if (n <= 0) break;
      got += n;
    }
    bytes.resize(static_cast<size_t>(got));
  }
  return load_from_bytes(bytes.data(), static_cast<int64_t>(bytes.size()));
}

Ref<C_Gif> C_Gif::load_from_bytes(const std::string& data) {
  return load_from_bytes(reinterpret_cast<const uint8_t*>(data.data()),
                         static_cast<int64_t>(data.size()));
}

Ref<C_Gif> C_Gif::load_from_bytes(const DynAByte& data) {
  return load_from_bytes(data.data(), data.count());
}

Ref<C_Gif> C_Gif::load_from_bytes(const uint8_t* data, int64_t size) {
  const gif_code_from code = gif_code();
  if (code != gif_code_from::GIF_Brek) {
    Ref<C_Gif> gif = make<C_Gif>();
    if (gif->read_native(data, size) || code == gif_code_from::GIF_NATIVE) return gif;
  }
  return read_from_bytes(data, size);
}

Ref<C_Gif> C_Gif::read_from_bytes(const uint8_t* data, int64_t size, bool compose) {
  Ref<C_Gif> gif = make<C_Gif>();
  Reader r;
  r.p = data;
  r.size = data ? std::max<int64_t>(0, size) : 0;
  gif->read_gif(r, compose);
  return gif;
}

void C_Gif::read_gif(Reader& r, bool compose) {
  if (r.remaining() < 6) return;
  std::string sig(reinterpret_cast<const char*>(r.p), 6);
  if (sig != "GIF87a" && sig != "GIF89a") return;
  r.pos = 6;
  version = sig;

  if (r.remaining() < 7) return;
  screen_width = r.le16();
  screen_height = r.le16();
  packed = r.byte();
  background_index = r.byte();
  aspect = r.byte();
  palette_bits = (packed & 7) + 1;
  color_resolution = ((packed & 0x70) >> 4) + 1;

  if (packed & 0x80) {
    int64_t n = std::min<int64_t>(int64_t(1) << palette_bits, r.remaining() / 3);
    palette.reserve(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
      St_color_item__C_Gif c;
      c.red = static_cast<uint8_t>(r.byte());
      c.green = static_cast<uint8_t>(r.byte());
      c.blue = static_cast<uint8_t>(r.byte());
      palette.push_back(c);
    }
    if (background_index >= static_cast<int64_t>(palette.size())) background_index = 0;
    if (!palette.empty()) background_color = color_of(palette[static_cast<size_t>(background_index)]);
  }

  read_blocks(r);
  fix_disposals();
  if (compose && !frames.empty()) render_current_frame();
}

void C_Gif::read_blocks(Reader& r) {
  int intro = r.byte();
  int64_t passes = r.remaining() + 1;
  int64_t previous_end = -1;
  for (int64_t pass = 0; pass < passes; ++pass) {
    Brek_runtime::loop_tick();
    if (intro == ';' || intro == 0 || intro == kEnd || r.at_end() || r.over_budget()) break;

    St_extensions__C_Gif list = read_extension(r, intro);
    if (r.over_budget()) {
      intro = kEnd;
      break;
    }

    if (intro == ',') {
      St_gif_frame__C_Gif frame;
      frame.index = static_cast<int64_t>(frames.size());
      frame.extensions = std::move(list);
      if (read_frame(r, frame)) {
        r.budget -= kFrameCost + static_cast<int64_t>(frame.palette.size()) * 3 +
                    static_cast<int64_t>(frame.data.size());
        frames.push_back(std::move(frame));
        if (frames.back().truncated) {
          intro = r.find_frame_start() ? ',' : kEnd;
        } else {
          intro = r.byte();
          while (intro == 0) intro = r.byte();
          if (intro != kEnd && intro != '!' && intro != ',' && intro != ';') {
            damaged = true;
            intro = r.find_frame_start() ? ',' : kEnd;
          }
        }
      } else {
        intro = r.byte();
      }
    } else if (comments.empty() && !list.items.empty()) {
      // Comments that stand before no image belong to the file.
      int seen = 0;
      for (const auto& e : list.items) {
        if (e.type != extension_type::COMMENT) continue;
        if (seen++ > 0) {
          comments.append("");
          comments.append("");
        }
        for (const auto& t : e.texts) comments.append(t);
      }
    } else if (intro != ';' && intro != 0 && intro != kEnd) {
      damaged = true;
      while (intro != ',' && intro != kEnd) intro = r.byte();
    }
    if (r.pos == previous_end) break;  // no progress
    previous_end = r.pos;
  }
  introducer = intro == kEnd ? std::string() : std::string(1, static_cast<char>(intro));
}

// The extensions that stand here, while the introducer is "!"; leaves the
// introducer that follows them in intro. A plain-text block takes the
// extensions before it (a graphic control belongs to the text, not to the
// next image); an application block describes the file and is not kept.
St_extensions__C_Gif C_Gif::read_extension(Reader& r, int& intro) {
  St_extensions__C_Gif list;
  while (intro == '!' && !r.over_budget()) {
    int label = r.byte();
    if (label == kEnd) {
      intro = kEnd;
      break;
    }
    St_extension__C_Gif e;
    r.budget -= kExtensionCost;
    bool keep = true;
    switch (label) {
      case 0xF9: {
        // Read by its block size, so a longer or shorter block stays in step.
        e.type = extension_type::GRAPHIC;
        e.block_size = std::max(0, r.byte());
        std::vector<uint8_t> b = r.take(e.block_size);
        if (b.size() > 0) e.packed = b[0];
        if (b.size() > 2) e.delay = int64_t(b[1]) | (int64_t(b[2]) << 8);
        if (b.size() > 3) e.transparent_index = b[3];
        e.terminator = std::max(0, r.sub_blocks(nullptr));
        break;
      }
      case 0x01: {
        e.type = extension_type::PLAIN_TEXT;
        e.block_size = std::max(0, r.byte());
        std::vector<uint8_t> b = r.take(e.block_size);
        b.resize(std::max<size_t>(b.size(), 12), 0);
        e.grid_left = b[0] | (b[1] << 8);
        e.grid_top = b[2] | (b[3] << 8);
        e.grid_width = b[4] | (b[5] << 8);
        e.grid_height = b[6] | (b[7] << 8);
        e.cell_width = b[8];
        e.cell_height = b[9];
        e.foreground_index = b[10];
        e.background_index = b[11];
        r.sub_blocks(nullptr);
        list.items.clear();
        keep = false;
        break;
      }
      case 0xFE:
        e.type = extension_type::COMMENT;
        r.sub_blocks(&e);
        break;
      case 0xFF: {
        e.type = extension_type::APPLICATION;
        e.block_size = std::max(0, r.byte());
        std::vector<uint8_t> b = r.take(e.block_size);
        b.resize(std::max<size_t>(b.size(), 11), 0);
        e.identifier.assign(b.begin(), b.begin() + 8);
        e.authentication.assign(b.begin() + 8, b.begin() + 11);
        r.sub_blocks(&e);
        if (std::memcmp(b.data(), "NETSCAPE2.0", 11) == 0 && !e.texts.empty() &&
            e.texts[0].size() >= 3 && e.texts[0][0] == 1) {
          looping = true;
          loop_count = std::min<int64_t>(30000, e.values[0]);
        }
        keep = false;
        break;
      }
      default:
        // Unknown: its sub-blocks are passed over up to their terminator.
        r.sub_blocks(nullptr);
        break;
    }
    if (keep) list.items.push_back(std::move(e));
    intro = r.byte();
  }
  return list;
}

// The image descriptor, the local palette and the compressed data, the ","
// already read. False when the descriptor or the palette is incomplete.
bool C_Gif::read_frame(Reader& r, St_gif_frame__C_Gif& f) {
  f.transparent_index = -1;
  if (r.remaining() < 9) {
    r.pos = r.size;
    return false;
  }
  f.left = r.le16();
  f.top = r.le16();
  f.width = r.le16();
  f.height = r.le16();
  f.packed = r.byte();
  f.interlaced = (f.packed & 0x40) != 0;
  if (f.packed & 0x80) {
    f.has_local_palette = true;
    int64_t n = int64_t(1) << ((f.packed & 7) + 1);
    if (r.remaining() < n * 3) {
      r.pos = r.size;
      return false;
    }
    f.palette.resize(static_cast<size_t>(n));
    for (auto& c : f.palette) {
      c.red = static_cast<uint8_t>(r.byte());
      c.green = static_cast<uint8_t>(r.byte());
      c.blue = static_cast<uint8_t>(r.byte());
    }
  }

  int min_code = r.byte();
  if (min_code == kEnd) {
    f.truncated = true;
  } else {
    // Measure first, then copy in one piece.
    int64_t end = r.pos;
    for (;;) {
      if (end >= r.size) {
        f.truncated = true;
        break;
      }
      int64_t n = r.p[end];
      if (n == 0) {
        ++end;
        break;
      }
      if (end + 1 + n > r.size) {
        f.truncated = true;
        end = r.size;
        break;
      }
      end += 1 + n;
    }
    f.data.reserve(static_cast<size_t>(end - r.pos + 1));
    f.data.push_back(static_cast<uint8_t>(min_code));
    f.data.insert(f.data.end(), r.p + r.pos, r.p + end);
    r.pos = end;
  }

  if (!f.has_local_palette) f.palette = palette;

  for (const auto& e : f.extensions.items) {
    if (e.type != extension_type::GRAPHIC) continue;
    if (e.packed & 1) {
      f.transparent_index = e.transparent_index;
      if (f.transparent_index < static_cast<int64_t>(f.palette.size())) {
        f.transparent_color = color_of(f.palette[static_cast<size_t>(f.transparent_index)]);
        f.has_transparent = true;
      }
    }
    f.delay = std::max(f.delay, 10 * e.delay);
    switch ((e.packed & 0x1C) >> 2) {
      case 0: f.disposal = disposal_method::UNDEFINED; break;
      case 1: f.disposal = disposal_method::LEAVE; break;
      case 2: f.disposal = disposal_method::RESTORE_BACK; break;
      case 3: f.disposal = disposal_method::RESTORE_PREV; break;
      default: break;
    }
  }
  return true;
}

// A frame that states no disposal leaves its picture in place, as common
// decoders compose it. It is marked LEAVE after a frame whose stated
// disposal is LEAVE, or when the next frame is transparent and shows it;
// it never takes over an earlier frame's restoring disposal, which would
// wipe out the picture of every frame that follows. Made once, in frame
// order, so that the result does not depend on which frames were decoded.
void C_Gif::fix_disposals() {
  disposal_method last = disposal_method::UNDEFINED;
  for (size_t i = 0; i < frames.size(); ++i) {
    auto& f = frames[i];
    if (f.disposal == disposal_method::UNDEFINED &&
        (last == disposal_method::LEAVE || (i + 1 < frames.size() && frames[i + 1].has_transparent)))
      f.disposal = disposal_method::LEAVE;
    else if (f.disposal != disposal_method::UNDEFINED)
      last = f.disposal;
  }
}

// ---- saving -----------------------------------------------------------------

bool C_Gif::save(const Ref<C_Bitmap>& picture, const std::string& file_name) {
  if (picture.is_none() || !picture->native) return false;
  return C_Brek_drawing::save_gif_stream(picture->native.get(), file_name);
}

void C_Gif::destroy_hook() {
  let_go_of_workers();
  composed_.reset();
  saved_.clear();
  has_saved_ = false;
  composed_live_ = false;
  cache_.clear();
  cache_bytes_ = 0;
  frames.clear();
  comments.clear();
  palette.clear();
  Brek_object::destroy_hook();
}

}  // namespace brek
