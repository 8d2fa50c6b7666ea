#include "viewer/print_editor_hook.h"

#include <atomic>

namespace brek::Print_editor_hook {

namespace {
std::atomic<Opener> g_opener{nullptr};
}

void set_opener(Opener opener) { g_opener.store(opener); }

bool open(const Ref<C_Collage_viewer>& viewer, const Ref<C_Image>& image) {
  Opener opener = g_opener.load();
  if (!opener) return false;
  opener(viewer, image);
  return true;
}

}  // namespace brek::Print_editor_hook
