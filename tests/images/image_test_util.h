#pragma once
// Helpers shared by the image tests: test pictures, PNM files for the
// reference tools, and running those tools.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drawing/pixels.h"

namespace brek_test {

// A deterministic picture with gradients and sharp edges (so that every
// DCT path and the upsampling are exercised).
brek::Pixels test_picture(int w, int h, bool grey = false);

// PPM (colour) or PGM (grey) bytes of a picture.
std::string to_pnm(const brek::Pixels& p, bool grey);
// Reads a binary PPM/PGM; false when it is not one.
bool from_pnm(const std::string& bytes, brek::Pixels& out);

// Runs a command line through the shell; true when it exited with 0.
bool run(const std::string& command);
// Whether a program is on PATH.
bool have_program(const std::string& name);

std::vector<uint8_t> bytes_of(const std::string& s);

// Little-endian and big-endian writers for building file images inline.
void put16le(std::string& s, uint32_t v);
void put32le(std::string& s, uint32_t v);
void put16be(std::string& s, uint32_t v);
void put32be(std::string& s, uint32_t v);

// Packed rows of `bpp` bits, each padded to 4 bytes, in a BMP's order
// (bottom-up unless top_down); value(x, y) is the index (low bits kept) or
// the packed pixel at (x, y), little-endian.
std::string bmp_rows(int w, int h, int bpp, bool top_down, const std::function<uint32_t(int, int)>& value);

// A PNG file image (stored deflate blocks, RGBA 8-bit).
std::string make_png(const brek::Pixels& p);
// A TIFF file image whose first directory (at offset 600) gives the width,
// height and compression; no strips.
std::string make_tiff(bool big_endian, uint32_t width, uint32_t height, uint32_t compression);

// Baseline grey JPEGs of 2048 x 2048 (large enough for two decoders) with
// a restart interval, ending inside the scan header: the library reads the
// rest of it from the end of image it makes up, whose bytes lie outside
// the file. Some hold a marker without a length (TEM, RST0) before the
// tables, some no quantisation table (their decode fails), some a scan
// header cut before its table selectors.
std::vector<std::string> jpegs_with_scan_header_cut();

}  // namespace brek_test
