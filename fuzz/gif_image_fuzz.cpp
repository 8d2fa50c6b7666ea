// The GIF image class reading a file: a failed read leaves the image
// cleared, and what it read writes out and reads back to the same frames
// and comments.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "images/gif_writer.h"

using brek::E_Gif_error;
using brek::Ref;
using brek::TGIFImage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (brek_fuzz::gif_screen_too_large(data, size)) return 0;
  brek_fuzz::limit_gif_image_frames();
  Ref<TGIFImage> gif = TGIFImage::create();
  try {
    gif->read_data(data, int64_t(size));
  } catch (const E_Gif_error&) {
    if (gif->FrameCount() != 0 || !gif->data.comments.empty() || gif->looping) __builtin_trap();
    return 0;
  }
  if (gif->FrameCount() == 0) return 0;
  std::vector<uint8_t> bytes;
  try {
    bytes = gif->write_data();
  } catch (const E_Gif_error&) {
    return 0;  // frames placed beyond what a GIF can hold
  }
  Ref<TGIFImage> again = TGIFImage::create();
  again->read_data(bytes);
  if (again->FrameCount() != gif->FrameCount() || again->data.comments != gif->data.comments) __builtin_trap();
  for (int64_t i = 0; i < gif->FrameCount(); ++i)
    if (!(again->FrameAt(i)->bitmap == gif->FrameAt(i)->bitmap)) __builtin_trap();
  return 0;
}
