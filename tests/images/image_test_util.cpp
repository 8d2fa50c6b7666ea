#include "tests/images/image_test_util.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace brek_test {

using brek::Pixels;

Pixels test_picture(int w, int h, bool grey) {
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t r = static_cast<uint8_t>((x * 255) / (w > 1 ? w - 1 : 1));
      uint8_t g = static_cast<uint8_t>((y * 255) / (h > 1 ? h - 1 : 1));
      uint8_t b = static_cast<uint8_t>(((x / 7 + y / 5) % 2) ? 230 : 20);
      if (grey) r = g = b = static_cast<uint8_t>((r + g + b) / 3);
      p.set(x, y, Pixels::bgra(b, g, r));
    }
  return p;
}

std::string to_pnm(const Pixels& p, bool grey) {
  std::ostringstream o;
  o << (grey ? "P5" : "P6") << "\n" << p.width() << " " << p.height() << "\n255\n";
  std::string s = o.str();
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) {
      uint32_t v = p.at(x, y);
      if (grey) {
        s.push_back(static_cast<char>(Pixels::red(v)));
      } else {
        s.push_back(static_cast<char>(Pixels::red(v)));
        s.push_back(static_cast<char>(Pixels::green(v)));
        s.push_back(static_cast<char>(Pixels::blue(v)));
      }
    }
  return s;
}

bool from_pnm(const std::string& bytes, Pixels& out) {
  std::istringstream in(bytes);
  std::string magic;
  int w = 0, h = 0, maxv = 0;
  in >> magic >> w >> h >> maxv;
  if ((magic != "P5" && magic != "P6") || maxv != 255) return false;
  in.get();
  bool grey = magic == "P5";
  size_t start = static_cast<size_t>(in.tellg());
  size_t need = size_t(w) * h * (grey ? 1 : 3);
  if (bytes.size() < start + need || !out.resize(w, h)) return false;
  const uint8_t* d = reinterpret_cast<const uint8_t*>(bytes.data()) + start;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (grey) {
        uint8_t v = *d++;
        out.set(x, y, Pixels::bgra(v, v, v));
      } else {
        out.set(x, y, Pixels::bgra(d[2], d[1], d[0]));
        d += 3;
      }
    }
  return true;
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

bool have_program(const std::string& name) {
  return run("command -v " + name + " >/dev/null 2>&1");
}

std::vector<uint8_t> bytes_of(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void put16le(std::string& s, uint32_t v) {
  s.push_back(char(v & 255));
  s.push_back(char((v >> 8) & 255));
}
void put32le(std::string& s, uint32_t v) {
  put16le(s, v & 0xFFFF);
  put16le(s, v >> 16);
}
void put16be(std::string& s, uint32_t v) {
  s.push_back(char((v >> 8) & 255));
  s.push_back(char(v & 255));
}
void put32be(std::string& s, uint32_t v) {
  put16be(s, v >> 16);
  put16be(s, v & 0xFFFF);
}

std::string bmp_rows(int w, int h, int bpp, bool top_down, const std::function<uint32_t(int, int)>& value) {
  std::string out;
  for (int r = 0; r < h; ++r) {
    const int y = top_down ? r : h - 1 - r;
    std::string row;
    uint32_t acc = 0;
    int bits = 0;
    for (int x = 0; x < w; ++x) {
      const uint32_t v = value(x, y);
      if (bpp < 8) {
        acc = (acc << bpp) | (v & ((1u << bpp) - 1));
        bits += bpp;
        if (bits == 8) {
          row.push_back(char(acc));
          acc = 0;
          bits = 0;
        }
      } else {
        for (int b = 0; b < bpp / 8; ++b) row.push_back(char(v >> (8 * b)));
      }
    }
    if (bits) row.push_back(char(acc << (8 - bits)));
    while (row.size() % 4) row.push_back(0);
    out += row;
  }
  return out;
}

namespace {
uint32_t crc32(const std::string& s) {
  static uint32_t table[256];
  static bool made = false;
  if (!made) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    made = true;
  }
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char ch : s) c = table[(c ^ ch) & 255] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void chunk(std::string& png, const char* type, const std::string& data) {
  put32be(png, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type) + data;
  png += body;
  put32be(png, crc32(body));
}
}  // namespace

std::string make_png(const Pixels& p) {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  put32be(ihdr, p.width());
  put32be(ihdr, p.height());
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, no interlace
  chunk(png, "IHDR", ihdr);
  std::string raw;
  for (int y = 0; y < p.height(); ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < p.width(); ++x) {
      uint32_t v = p.at(x, y);
      raw.push_back(char(Pixels::red(v)));
      raw.push_back(char(Pixels::green(v)));
      raw.push_back(char(Pixels::blue(v)));
      raw.push_back(char(Pixels::alpha(v)));
    }
  }
  std::string z = "\x78\x01";
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    put16le(z, static_cast<uint32_t>(n));
    put16le(z, static_cast<uint32_t>(~n & 0xFFFF));
    z += raw.substr(pos, n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (unsigned char ch : raw) {
    a = (a + ch) % 65521;
    b = (b + a) % 65521;
  }
  put32be(z, (b << 16) | a);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", "");
  return png;
}

std::string make_tiff(bool big, uint32_t width, uint32_t height, uint32_t compression) {
  auto u16 = [&](std::string& s, uint32_t v) { big ? put16be(s, v) : put16le(s, v); };
  auto u32 = [&](std::string& s, uint32_t v) { big ? put32be(s, v) : put32le(s, v); };
  std::string f = big ? "MM" : "II";  // byte order
  u16(f, 42);                         // the TIFF mark
  u32(f, 600);  // offset of the first directory, beyond the first 512 bytes
  f.resize(600, '\0');
  u16(f, 4);  // four entries of tag, type, count, value (a SHORT sits first)
  u16(f, 254); u16(f, 4); u32(f, 1); u32(f, 0);                         // new subfile type
  u16(f, 256); u16(f, 3); u32(f, 1); u16(f, width); u16(f, 0);         // image width
  u16(f, 257); u16(f, 4); u32(f, 1); u32(f, height);                   // image length
  u16(f, 259); u16(f, 3); u32(f, 1); u16(f, compression); u16(f, 0);   // compression
  u32(f, 0);  // no next directory
  return f;
}

std::vector<std::string> jpegs_with_scan_header_cut() {
  auto file = [](uint8_t parameterless, bool quant_table, size_t scan_header_kept) {
    std::string f = "\xFF\xD8";
    if (parameterless) f += {'\xFF', char(parameterless)};
    if (quant_table) f += "\xFF\xDB" + std::string("\x00\x43\x00", 3) + std::string(64, '\x01');
    f += std::string("\xFF\xDD\x00\x04\x00\x01", 6);                              // a marker every MCU
    f += std::string("\xFF\xC0\x00\x0B\x08\x08\x00\x08\x00\x01\x01\x11\x00", 13);  // 2048 x 2048, grey
    f += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10).substr(0, scan_header_kept);
    return f;
  };
  return {file(0x01, true, 7), file(0xD0, false, 7), file(0, true, 7), file(0x01, true, 6), file(0xD7, true, 9)};
}

}  // namespace brek_test
