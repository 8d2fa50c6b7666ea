#include "viewer/rescan_dir.h"

#include "baselib/bounded_ask.h"
#include "viewer/dir_scan.h"

namespace brek {

Ref<C_Rescan_dir> C_Rescan_dir::create(const std::string& d) {
  Ref<C_Rescan_dir> job = make<C_Rescan_dir>();
  if (!job.is_none()) job->dir = d;
  return job;
}

void C_Rescan_dir::run() {
  DynAStr list;
  // A mount that does not answer leaves the list empty.
  Bounded_ask::list_directory(dir, list);
  Dir_scan::prefix_names(dir, list);
  entries = list;
  C_Thread::run();
}

void C_Rescan_dir::destroy_hook() {
  entries.clear();
  C_Thread::destroy_hook();
}

}  // namespace brek
