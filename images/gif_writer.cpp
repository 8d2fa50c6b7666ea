#include "images/gif_writer.h"

#include <algorithm>
#include <unordered_map>

#include "baselib/stream.h"
#include "drawing/bitmap.h"
#include "images/lzw.h"
#include "images/lzw_encoder.h"

namespace brek {

namespace {

void put16(std::vector<uint8_t>& out, int64_t v) {
  out.push_back(uint8_t(v & 0xFF));
  out.push_back(uint8_t((v >> 8) & 0xFF));
}

// Data sub-blocks of the strings, then the block terminator.
void put_sub_blocks(std::vector<uint8_t>& out, const std::vector<std::string>& texts) {
  for (const std::string& s : texts) {
    if (s.empty()) continue;
    const size_t n = std::min<size_t>(s.size(), 255);
    out.push_back(uint8_t(n));
    out.insert(out.end(), s.begin(), s.begin() + std::ptrdiff_t(n));
  }
  out.push_back(0);
}

// The table padded to 2^bits entries, as the size field promises.
void put_table(std::vector<uint8_t>& out, const std::vector<Rgb_entry>& table, int64_t bits) {
  const size_t n = size_t(1) << bits;
  for (size_t i = 0; i < n; ++i) {
    const Rgb_entry c = i < table.size() ? table[i] : Rgb_entry{};
    out.push_back(c.red);
    out.push_back(c.green);
    out.push_back(c.blue);
  }
}

int64_t bits_for(int64_t colors) {
  int64_t n = 1;
  while (n < 8 && (int64_t(1) << n) < colors) ++n;
  return n;
}

bool same_rgb(const Rgb_entry& e, Color c) {
  return e.red == Colors::red(c) && e.green == Colors::green(c) && e.blue == Colors::blue(c);
}

// A bitmap of 1, 4 or 8 bits keeps its own colours: the palette is its
// colours in the order met, filled up with black. False when it has more
// colours than its depth holds (it was drawn on in more colours).
bool kept_colours(const Pixels& p, int64_t bits, Indexed_bitmap& out) {
  const size_t most = size_t(1) << bits;
  std::unordered_map<uint32_t, uint8_t> index;
  out = Indexed_bitmap{};
  out.width = p.width();
  out.height = p.height();
  out.indexes.resize(size_t(p.width()) * size_t(p.height()));
  uint8_t* dst = out.indexes.data();
  for (int y = 0; y < p.height(); ++y) {
    const uint32_t* row = p.row(y);
    for (int x = 0; x < p.width(); ++x) {
      const uint32_t c = row[x] & 0xFFFFFFu;
      auto it = index.find(c);
      if (it == index.end()) {
        if (index.size() >= most) return false;
        const uint8_t i = uint8_t(index.size());
        out.palette[i] = Rgb_entry{Pixels::red(c), Pixels::green(c), Pixels::blue(c)};
        it = index.emplace(c, i).first;
      }
      *dst++ = it->second;
    }
  }
  out.used_colors = int(index.size());
  return true;
}

}  // namespace

// ---- TExtension ----------------------------------------------------------------

uint8_t TExtension::label() const {
  switch (type) {
    case extension_type::GRAPHIC: return 0xF9;
    case extension_type::PLAIN_TEXT: return 0x01;
    case extension_type::APPLICATION: return 0xFF;
    default: return 0xFE;
  }
}

TExtension TExtension::graphic_control() {
  TExtension e;
  e.type = extension_type::GRAPHIC;
  e.header = {4, 0, 0, 0, 0, 0};
  return e;
}

TExtension TExtension::comment(std::vector<std::string> lines) {
  TExtension e;
  e.type = extension_type::COMMENT;
  e.texts = std::move(lines);
  return e;
}

// ---- TGIFFrame -----------------------------------------------------------------

Ref<TGIFFrame> TGIFFrame::create() { return make<TGIFFrame>(); }

void TGIFFrame::copy_from(const TGIFFrame& o) {
  if (is_none()) return;
  bitmap = o.bitmap;
  bitmap_bits = o.bitmap_bits;
  item = o.item;
  extensions = o.extensions;
  left = o.left;
  top = o.top;
  transparent_color = o.transparent_color;
  delay = o.delay;
  disposal = o.disposal;
  interlaced = o.interlaced;
  grayscale = o.grayscale;
  local_color_table = o.local_color_table;
  corrupted = o.corrupted;
}

int64_t TGIFFrame::palette_bits() const { return bits_for(item.color_count); }

int64_t TGIFFrame::transparent_index() const {
  if (!transparent_color) return -1;
  for (size_t i = 0; i < item.color_table.size(); ++i)
    if (same_rgb(item.color_table[i], *transparent_color)) return int64_t(i);
  return -1;
}

void TGIFFrame::encode_bitmap() {
  if (is_none()) return;
  if (bitmap.empty()) throw E_Gif_error("No GIF Data to write");
  Indexed_bitmap dib;
  if ((bitmap_bits == 1 || bitmap_bits == 4 || bitmap_bits == 8) && kept_colours(bitmap, bitmap_bits, dib)) {
    encode_dib(dib, bitmap_bits);
    return;
  }
  dib = RxGraph::reduce_to_8bit(bitmap, grayscale ? mapping_method::GRAYSCALE : RxGraph::default_mapping_method);
  encode_dib(dib, 8);
}

void TGIFFrame::encode_dib(const Indexed_bitmap& dib, int64_t bits) {
  if (is_none()) return;
  if (dib.empty()) throw E_Gif_error("No GIF Data to write");
  if (bits != 1 && bits != 4 && bits != 8) throw E_Gif_error("GIF image encoding error");
  if (dib.width > TGIFImage::MAX_SIDE || dib.height > TGIFImage::MAX_SIDE)
    throw E_Gif_error("GIF image encoding error");
  const int64_t count = int64_t(1) << bits;
  item.color_count = count;
  item.bits_per_pixel = bits;
  item.color_table.assign(dib.palette.begin(), dib.palette.begin() + count);
  interlaced = false;
  item.data.clear();
  RxGIF::lzw_encode(item.data, dib.indexes.data(), dib.width, dib.height, int(bits), interlaced);
  item.width = dib.width;
  item.height = dib.height;

  Ref<TGIFImage> owner = image.lock();
  if (owner.is_none()) {
    local_color_table = true;
    return;
  }
  if (owner->data.color_table.empty()) {
    owner->data.color_table = item.color_table;
    owner->data.palette_bits = palette_bits();
    local_color_table = false;
  } else {
    local_color_table = true;
  }
  owner->screen_width = std::max(owner->screen_width, left + item.width);
  owner->screen_height = std::max(owner->screen_height, top + item.height);
}

void TGIFFrame::encode_whole_data() {
  if (is_none() || item.data.empty()) return;
  const int code_size = item.data[0];
  std::vector<uint8_t> indexes(size_t(item.width) * size_t(item.height));
  if (!C_Lzw::decompress_into(indexes.data(), item.data.data(), int64_t(item.data.size()), 1, interlaced,
                              code_size, item.height, item.width))
    throw E_Gif_error("GIF image encoding error");
  // The decoder gives indexes below 2^code_size: 4 bits hold the small sizes.
  item.data.clear();
  RxGIF::lzw_encode(item.data, indexes.data(), item.width, item.height, code_size <= 4 ? 4 : 8, interlaced);
}

void TGIFFrame::update_extensions() {
  if (is_none()) return;
  auto gce = std::find_if(extensions.begin(), extensions.end(),
                          [](const TExtension& e) { return e.type == extension_type::GRAPHIC; });
  if (gce == extensions.end() && (delay > 0 || transparent_color || disposal != 0)) {
    extensions.push_back(TExtension::graphic_control());
    gce = extensions.end() - 1;
  }
  if (gce != extensions.end()) {
    std::vector<uint8_t>& h = gce->header;
    h.resize(6, 0);
    h[0] = 4;
    const int64_t hundredths = delay / 10;
    h[2] = uint8_t(hundredths & 0xFF);
    h[3] = uint8_t(hundredths >> 8);
    const int64_t t = transparent_index();
    if (t >= 0) {
      h[4] = uint8_t(t);
      h[1] |= 1;
    } else {
      h[1] &= uint8_t(~1);
    }
    h[1] = uint8_t((h[1] & ~0x1C) | ((disposal & 7) << 2));
    h[5] = 0;
  }
  std::erase_if(extensions, [](const TExtension& e) {
    return e.type == extension_type::COMMENT &&
           std::all_of(e.texts.begin(), e.texts.end(), [](const std::string& s) { return s.empty(); });
  });
  Ref<TGIFImage> owner = image.lock();
  if (!extensions.empty() && !owner.is_none()) owner->version = gif_version::GIF89A;
}

// ---- TGIFImage -----------------------------------------------------------------

Ref<TGIFImage> TGIFImage::create() { return make<TGIFImage>(); }

void TGIFImage::clear() {
  if (is_none()) return;
  data = TGIFData{};
  frames.clear();
  current_frame = -1;
  version = gif_version::NOT_SET;
  background_color.reset();
  looping = false;
  loop_count = 1;
  corrupted = false;
  screen_width = 0;
  screen_height = 0;
}

void TGIFImage::assign(const Ref<C_Bitmap>& bitmap) {
  const Pixels* p = bitmap->pixels();
  if (!p) {
    clear();
    return;
  }
  assign(*p, bitmap->bits);
}

void TGIFImage::assign(const Pixels& picture, int64_t bits) {
  if (is_none()) return;
  clear();
  add_frame(picture, bits);
}

void TGIFImage::assign(const Ref<TGIFImage>& other) {
  if (is_none() || other.get() == this) return;
  clear();
  if (other.is_none()) return;
  data = other->data;
  version = other->version;
  background_color = other->background_color;
  looping = other->looping;
  loop_count = other->loop_count;
  corrupted = other->corrupted;
  grayscale = other->grayscale;
  screen_width = other->screen_width;
  screen_height = other->screen_height;
  for (const Ref<TGIFFrame>& f : other->frames) {
    Ref<TGIFFrame> copy = TGIFFrame::create();
    copy->copy_from(*f);
    copy->image = Weak<TGIFImage>(Ref<TGIFImage>(this));
    frames.push_back(copy);
  }
  current_frame = other->current_frame;
}

void TGIFImage::assign(const Ref<TGIFFrame>& frame) {
  if (is_none()) return;
  clear();
  if (frame.is_none()) return;
  Ref<TGIFFrame> copy = TGIFFrame::create();
  copy->copy_from(*frame);
  copy->image = Weak<TGIFImage>(Ref<TGIFImage>(this));
  copy->local_color_table = false;
  data.color_table = copy->item.color_table;
  data.palette_bits = copy->item.color_table.empty() ? 0 : copy->palette_bits();
  frames.push_back(copy);
  current_frame = 0;
  version = gif_version::GIF87A;
  screen_width = copy->left + std::max<int64_t>(copy->item.width, copy->bitmap.width());
  screen_height = copy->top + std::max<int64_t>(copy->item.height, copy->bitmap.height());
}

Ref<TGIFFrame> TGIFImage::add_frame(const Pixels& picture, int64_t bits, std::optional<Color> transparent) {
  if (is_none()) return Ref<TGIFFrame>();
  Ref<TGIFFrame> f = TGIFFrame::create();
  f->image = Weak<TGIFImage>(Ref<TGIFImage>(this));
  f->bitmap = picture;
  f->bitmap_bits = bits;
  f->transparent_color = transparent;
  f->grayscale = grayscale;
  frames.push_back(f);
  current_frame = FrameCount() - 1;
  screen_width = std::max<int64_t>(screen_width, f->left + picture.width());
  screen_height = std::max<int64_t>(screen_height, f->top + picture.height());
  if (version == gif_version::NOT_SET) version = gif_version::GIF87A;
  if (frames.size() > 1) version = gif_version::GIF89A;
  return f;
}

Ref<TGIFFrame> TGIFImage::FrameAt(int64_t index) const {
  if (index < 0 || index >= FrameCount()) return Ref<TGIFFrame>();
  return frames[size_t(index)];
}

void TGIFImage::SetFrameIndex(int64_t index) {
  if (is_none()) return;
  current_frame = std::clamp<int64_t>(index, -1, FrameCount() - 1);
}

int64_t TGIFImage::width() const { return FrameAt(current_frame)->bitmap.width(); }
int64_t TGIFImage::height() const { return FrameAt(current_frame)->bitmap.height(); }
void TGIFImage::set_width(int64_t) { throw E_Gif_error("Cannot change the Size of a GIF image"); }
void TGIFImage::set_height(int64_t) { throw E_Gif_error("Cannot change the Size of a GIF image"); }

void TGIFImage::encode_frames() {
  for (const Ref<TGIFFrame>& f : frames) {
    if (f->item.data.empty())
      f->encode_bitmap();
    else if (f->corrupted)
      f->encode_whole_data();
    f->update_extensions();
  }
}

std::vector<uint8_t> TGIFImage::write_data() {
  if (frames.empty()) throw E_Gif_error("No GIF Data to write");
  encode_frames();
  if (!data.comments.empty()) version = gif_version::GIF89A;
  if (screen_width > MAX_SIDE || screen_height > MAX_SIDE) throw E_Gif_error("GIF image encoding error");

  const std::string header = version == gif_version::GIF89A ? "GIF89a" : "GIF87a";
  std::vector<uint8_t> out(header.begin(), header.end());

  // Logical screen descriptor.
  put16(out, screen_width);
  put16(out, screen_height);
  const size_t count = data.color_table.size();
  if (count == 0) {
    out.push_back(0);
    out.push_back(0);
  } else {
    int64_t colour_bits = 0;
    while (colour_bits < 8 && (size_t(1) << (colour_bits + 1)) <= count) ++colour_bits;
    if (count < 2 || (size_t(1) << colour_bits) != count)
      throw E_Gif_error("Wrong number of colors; must be a power of 2");
    const int64_t size_bits = data.palette_bits >= 1 && data.palette_bits <= 8 ? data.palette_bits : colour_bits;
    out.push_back(uint8_t(0x80 + (colour_bits - 1) * 16 + (size_bits - 1)));
    uint8_t background = 0;
    if (background_color) {
      for (size_t i = 0; i < count; ++i)
        if (same_rgb(data.color_table[i], *background_color)) {
          background = uint8_t(i);
          break;
        }
    }
    out.push_back(background);
  }
  out.push_back(data.aspect);
  if (count > 0) put_table(out, data.color_table, data.palette_bits >= 1 ? data.palette_bits : bits_for(int64_t(count)));

  if (looping && frames.size() > 1) {
    static const char app[] = "NETSCAPE2.0";
    out.push_back(0x21);
    out.push_back(0xFF);
    out.push_back(11);
    out.insert(out.end(), app, app + 11);
    out.push_back(3);
    out.push_back(1);
    put16(out, std::clamp<int64_t>(loop_count, 0, 65535));
    out.push_back(0);
  }

  for (const Ref<TGIFFrame>& f : frames) {
    for (const TExtension& e : f->extensions) {
      out.push_back(0x21);
      out.push_back(e.label());
      out.insert(out.end(), e.header.begin(), e.header.end());
      if (e.type != extension_type::GRAPHIC) put_sub_blocks(out, e.texts);
    }
    if (f->left < 0 || f->top < 0 || f->left + f->item.width > MAX_SIDE || f->top + f->item.height > MAX_SIDE)
      throw E_Gif_error("GIF image encoding error");
    out.push_back(0x2C);
    put16(out, f->left);
    put16(out, f->top);
    put16(out, f->item.width);
    put16(out, f->item.height);
    uint8_t packed = 0;
    if (f->local_color_table) packed = uint8_t(0x80 + (f->palette_bits() - 1));
    if (f->interlaced) packed |= 0x40;
    out.push_back(packed);
    if (f->local_color_table) put_table(out, f->item.color_table, f->palette_bits());
    out.insert(out.end(), f->item.data.begin(), f->item.data.end());
  }

  if (!data.comments.empty()) {
    out.push_back(0x21);
    out.push_back(0xFE);
    put_sub_blocks(out, data.comments);
  }
  out.push_back(0x3B);
  return out;
}

bool TGIFImage::save_to_stream(const Ref<C_Stream>& stream) {
  if (is_none() || stream.is_none()) return false;
  const std::vector<uint8_t> bytes = write_data();
  return stream->write_buffer(bytes.data(), int64_t(bytes.size())) == int64_t(bytes.size());
}

}  // namespace brek
