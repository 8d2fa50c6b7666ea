#include "viewer/rescan_dir.h"

#include "baselib/file_path.h"
#include "viewer/dir_scan.h"

namespace brek {

Ref<C_Rescan_dir> C_Rescan_dir::create(const std::string& d) {
  Ref<C_Rescan_dir> job = make<C_Rescan_dir>();
  if (!job.is_none()) job->dir = d;
  return job;
}

void C_Rescan_dir::run() {
  DynAStr list;
  File_path::list_directory(dir, list);
  Dir_scan::prefix_names(dir, list);
  entries = list;
  C_Thread::run();
}

void C_Rescan_dir::destroy_hook() {
  entries.clear();
  C_Thread::destroy_hook();
}

}  // namespace brek
