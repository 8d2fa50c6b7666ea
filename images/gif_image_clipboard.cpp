// A TGIFImage on the clipboard: the bytes of a GIF file in the registered
// format "GIF Image".

#include "images/gif_writer.h"
#include "platform/clipboard.h"

namespace brek {

bool TGIFImage::register_class() { return brek_platform::clipboard_register_format(CLIPBOARD_FORMAT, CLIPBOARD_TYPE); }

void TGIFImage::unregister_class() { brek_platform::clipboard_unregister_format(CLIPBOARD_FORMAT); }

bool TGIFImage::copy_to_clipboard() {
  if (is_none() || frames.empty()) return false;
  if (brek_platform::clipboard_format_type(CLIPBOARD_FORMAT).empty()) return false;
  const std::vector<uint8_t> bytes = write_data();
  return brek_platform::clipboard_set_format_data(CLIPBOARD_FORMAT, std::string(bytes.begin(), bytes.end()));
}

bool TGIFImage::paste_from_clipboard() {
  if (is_none() || !brek_platform::clipboard_has_format(CLIPBOARD_FORMAT)) return false;
  const std::string bytes = brek_platform::clipboard_format_data(CLIPBOARD_FORMAT);
  read_data(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
  return true;
}

}  // namespace brek
