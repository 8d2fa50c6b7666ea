#pragma once
// C_Rescan_dir: lists one directory on a worker thread when a listing on
// the main thread came back empty (not when its mount did not answer); the
// listing is a bounded question too, so no more than one thread waits on a
// mount that stops answering. The owner sets `dir` before start() and
// reads `entries` only once is_finished() is true; the body touches nothing
// else. A job nobody waits for any more is dropped: whichever side lets go
// last disposes it, on its own thread.

#include <string>

#include "baselib/thread.h"
#include "runtime/dyn_array.h"

namespace brek {

class C_Rescan_dir : public C_Thread {
  BREK_CLASS(C_Rescan_dir)
 public:
  // The type table's name of the class.
  static constexpr const char* TYPE_NAME = "Rescan_directory";

  std::string dir;
  // Full paths of the directory's entries; subdirectories end with "/".
  DynAStr entries;

  static Ref<C_Rescan_dir> create(const std::string& dir);

  void run() override;
  void destroy_hook() override;
};

}  // namespace brek
