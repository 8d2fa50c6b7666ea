#pragma once
// Why an image did not load. Decoders and whole-file reads keep their
// boolean or None results and say why beside them, in an optional
// Load_failure, so the reason reaches whoever logs or shows the failure
// instead of only the fact.

#include <cstdint>
#include <exception>
#include <string>

namespace brek {

enum class load_failure_kind {
  NONE,
  UNREADABLE,   // the file could not be read: `error` holds the errno
  TRUNCATED,    // the data ends before the picture does
  MALFORMED,    // the data is not what its format allows
  UNSUPPORTED,  // a variant of the format no decoder here reads
  TOO_LARGE,    // beyond the caps on files, pictures or memory
  RAISED,       // an exception ended the decode: `detail` is its text
};

struct Load_failure {
  load_failure_kind kind = load_failure_kind::NONE;
  int error = 0;
  // What the decoder adds: "JPEG error #53", "BMP compression 4".
  std::string detail;

  bool failed() const { return kind != load_failure_kind::NONE; }
  // "truncated", "unsupported: BMP compression 4", "No such file or
  // directory", an exception's own text; empty when nothing failed.
  std::string text() const;

  // Records a failure in *why unless `why` is null or already holds one:
  // the innermost reason, given first, stands. Always false, so a decoder
  // can `return Load_failure::note(...)`.
  static bool note(Load_failure* why, load_failure_kind kind, std::string detail = {});
  // The same for a reason gathered apart (nothing when it holds none).
  static bool note(Load_failure* why, const Load_failure& reason);
  // A file the system would not read, with its errno.
  static bool note_error(Load_failure* why, int error, std::string detail = {});
  // Whether a picture of w x h may be made (Pixels::size_allowed); if not,
  // notes an empty one as malformed and a larger one as too large.
  static bool size_allowed(int64_t w, int64_t h, Load_failure* why);
  // No memory to be had for a picture within the caps.
  static bool no_memory(Load_failure* why);
  // An exception that ended a decode: no memory for a std::bad_alloc, else
  // the exception's own text. A decoder that said why before it threw
  // keeps its reason.
  static bool note_exception(Load_failure* why, const std::exception& e);
};

}  // namespace brek
