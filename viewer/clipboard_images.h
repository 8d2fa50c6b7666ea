#pragma once
// The rules of the viewer's clipboard images, apart from the clipboard:
// the next free numbered name for an image that arrives while auto save is
// on, and the part of the shown picture a cut rectangle takes. Numbers are
// counted on their digit text, so no digit is lost however many there are.
// A picture's digest (FNV-1a) lets auto save pass over a picture it saved
// already, also the one the save dialog wrote as auto save began, without
// keeping a copy.

#include <cstdint>
#include <functional>
#include <string>

#include "baselib/geometry.h"
#include "drawing/pixels.h"

namespace brek::Clipboard_images {

// The most numbered names tried before giving up.
inline constexpr int64_t MAX_TRIES = 2147483646;

// The most bytes a file's name (without its directory) may have.
inline constexpr size_t MAX_NAME_BYTES = 255;

// The decimal text one higher, as wide as it was unless it outgrows it
// ("099" -> "100", "99" -> "100", "" -> "1"): numbers in file names may
// have more digits than any integer holds.
std::string incremented(std::string digits);
// `head` followed by `tail` (a number and an extension) as a path whose
// name fits in MAX_NAME_BYTES: what does not fit is cut off the end of
// head's name, by whole characters. Empty when tail alone does not fit.
std::string fitted_name(std::string head, const std::string& tail);
// The name for the next image: the trailing digits of the current file's
// stem are a number, and the first name with a higher number that does not
// exist is taken, as wide as the digits were ("scan.png" -> "scan1.png",
// "img007.jpg" -> "img008.jpg", "a9.jpg" -> "a10.jpg"); every digit counts,
// however many. No current file (or a pseudo one) counts as "0.jpg". A
// name that would pass MAX_NAME_BYTES loses characters at the end of the
// stem's text before the number. Empty when MAX_TRIES names are all taken,
// or when the number and extension alone pass MAX_NAME_BYTES.
std::string next_free_name(const std::string& current_file, const std::function<bool(const std::string&)>& exists);

// A digest of a picture's size and pixels, to know the same picture again.
uint64_t picture_digest(const Pixels& p);

// A rectangle whose width or height is negative, turned the right way.
rect normalized(const rect& r);

// What a cut takes from the picture.
struct Cut {
  rect source;         // in picture pixels, inside the picture
  int64_t width = 0;   // of the new bitmap
  int64_t height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};
// The cut of a rectangle (device pixels of the box, normalised) from a
// picture of pic_w x pic_h drawn into image_rect (device pixels): the
// rectangle is clipped to the picture as drawn and scaled to its pixels.
Cut cut_of(const rect& cut_px, const rect& image_rect, double pic_w, double pic_h);

}  // namespace brek::Clipboard_images
