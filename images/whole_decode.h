#pragma once
// C_Whole_decode: the whole picture of an image file decoded on a worker
// thread (C_Image::start_whole_decode starts it, C_Image::load_whole and
// take_whole_decode take what it made), so that the window showing part of
// the picture, or a copy of it made small, goes on answering meanwhile: a
// JPEG, a BMP read row by row from the file (never held whole), a GIF's
// first frame composed. A GIF whose first frame shows nothing (it does not
// decode) while a later one shows brings no picture but its bytes and
// that finding, from which the owner's animation starts as a decode of
// its own would: on that first frame, showing nothing.
//
// Whole pictures are made one at a time: a worker waits until the one
// before it ended, so a view stepping on faster than pictures decode
// never holds more than one in the making. A worker stopped before its
// turn (the view stepped on again) ends without taking any memory; one
// stopped in its turn ends at its next rows, giving its memory back
// before the next one takes any. One stopped but stuck in a read that
// does not answer (a mount gone away) is waited for a little while
// only, so it never holds the others back for good.
//
// The owner sets the fields before start() and reads the results only once
// is_finished(). They are plain data, no references to objects, so the
// object may end on either thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "baselib/thread.h"
#include "drawing/pixels.h"
#include "images/image_header.h"
#include "images/load_failure.h"

namespace brek {

class C_Whole_decode : public C_Thread {
  BREK_CLASS(C_Whole_decode)
 public:
  // The file, its lower-case extension and the version of it the image
  // stood for (when it had read one).
  std::string file_name;
  std::string extension;
  std::optional<Image_header::File_version> version;
  // The whole picture once finished, at the size it decodes to (as a
  // decode on the owner's thread takes it, whatever size the header
  // reader found); empty when the file was not the one shown, did not
  // decode, or the worker was stopped.
  Pixels picture;
  // Why the file did not decode or could not be read, where the file is at
  // fault, and "no memory for the picture" where none was to be had: the
  // owner keeps it as the image's failure, as a decode of its own would,
  // so a bad file or a want of memory costs one decode (a new image of the
  // file tries again). Untold for a stopped worker or a file that changed
  // meanwhile; a file deleted meanwhile is gone, as a read of it says.
  Load_failure why;
  bool had_alpha = false;
  // A GIF's bytes, from which the owner reads its frames (the first one is
  // `picture`, or shows nothing when first_frame_empty).
  std::vector<uint8_t> gif_bytes;
  // The GIF's first frame shows nothing while a later one shows: no
  // picture, and the file is not at fault.
  bool first_frame_empty = false;
  // The file is there but is another version than the image stood for
  // (written, replaced, renamed over): the image is to be renewed.
  bool file_changed = false;

  // Whether a worker reads files of this extension whole.
  static bool reads(const std::string& extension);

  void run() override;
  // Also wakes the worker waiting for its turn, which then ends.
  void stop() override;
  void destroy_hook() override;

 private:
  // Reads and decodes the file as it is now (`before`); false when what
  // was read is not one version of it (file_changed tells whether it is
  // another now). A file that could not be read or decoded says why.
  bool decode(const Image_header::File_version& before);
};

}  // namespace brek
