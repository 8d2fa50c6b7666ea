#pragma once
// Helpers shared by the fuzz targets.
//
// The decoders accept pictures up to Pixels::MAX_PIXELS, and a file of a
// few bytes may declare one that large. Such inputs are correct but spend
// their time filling memory, so the targets pass over inputs whose headers
// declare a picture that would be allocated and has more than
// FUZZ_MAX_PIXELS; the size limits themselves are covered by the regular
// tests. Sizes beyond what the decoders allocate are not passed over: the
// arithmetic that refuses them is worth fuzzing.

#include <cstddef>
#include <cstdint>
#include <string>

namespace brek_fuzz {

inline constexpr int64_t FUZZ_MAX_PIXELS = int64_t(1) << 22;

// Whether any frame header (SOFn) in the bytes declares more than
// FUZZ_MAX_PIXELS and would decode at 1/factor. Scans every marker-like
// byte pair, entropy data included, so that no frame header libjpeg might
// take is missed.
bool jpeg_too_large(const uint8_t* data, size_t size, int factor);

// Whether the DIB header at data[at] declares a picture of more than
// FUZZ_MAX_PIXELS that would be allocated (as a file or in an icon).
bool dib_too_large(const uint8_t* data, size_t size, size_t at);

// Whether the logical screen of a GIF declares more than FUZZ_MAX_PIXELS.
bool gif_screen_too_large(const uint8_t* data, size_t size);

// GIF frames may be far larger than the screen: the GIF image class then
// ends its reading at FUZZ_MAX_PIXELS decoded, as at an early end (a path
// worth fuzzing), instead of filling memory.
void limit_gif_image_frames();

// Whether any icon directory entry points at a DIB too large to decode
// quickly (PNG entries are refused by their header before anything is
// allocated).
bool icon_too_large(const uint8_t* data, size_t size);

// A folder of its own for the process (removed at exit); its path ends in
// "/".
const std::string& scratch_dir();

// Writes the bytes to a file in the scratch folder; its path.
std::string write_scratch(const std::string& name, const uint8_t* data, size_t size);

}  // namespace brek_fuzz
