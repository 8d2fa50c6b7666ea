#include "images/load_failure.h"

#include <cstring>
#include <new>
#include <utility>

#include "drawing/pixels.h"

namespace brek {

namespace {

const char* word_of(load_failure_kind kind) {
  switch (kind) {
    case load_failure_kind::NONE: return "";
    case load_failure_kind::UNREADABLE: return "unreadable";
    case load_failure_kind::TRUNCATED: return "truncated";
    case load_failure_kind::MALFORMED: return "malformed";
    case load_failure_kind::UNSUPPORTED: return "unsupported";
    case load_failure_kind::TOO_LARGE: return "too large";
    case load_failure_kind::RAISED: return "";
  }
  return "";
}

}  // namespace

std::string Load_failure::text() const {
  // The system's words say it all for a file it would not read.
  std::string word = kind == load_failure_kind::UNREADABLE && error ? std::strerror(error) : word_of(kind);
  if (word.empty()) return detail;
  return detail.empty() ? word : word + ": " + detail;
}

bool Load_failure::note(Load_failure* why, load_failure_kind kind, std::string detail) {
  if (why && !why->failed()) {
    why->kind = kind;
    why->error = 0;
    why->detail = std::move(detail);
  }
  return false;
}

bool Load_failure::note(Load_failure* why, const Load_failure& reason) {
  if (why && !why->failed()) *why = reason;
  return false;
}

bool Load_failure::note_error(Load_failure* why, int error, std::string detail) {
  if (why && !why->failed()) {
    why->kind = load_failure_kind::UNREADABLE;
    why->error = error;
    why->detail = std::move(detail);
  }
  return false;
}

bool Load_failure::size_allowed(int64_t w, int64_t h, Load_failure* why) {
  if (Pixels::size_allowed(w, h)) return true;
  if (w <= 0 || h <= 0) return note(why, load_failure_kind::MALFORMED, "no pixels");
  return note(why, load_failure_kind::TOO_LARGE, std::to_string(w) + " x " + std::to_string(h) + " pixels");
}

bool Load_failure::no_memory(Load_failure* why) {
  return note(why, load_failure_kind::TOO_LARGE, "no memory for the picture");
}

bool Load_failure::note_exception(Load_failure* why, const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return no_memory(why);
  return note(why, load_failure_kind::RAISED, e.what());
}

}  // namespace brek
