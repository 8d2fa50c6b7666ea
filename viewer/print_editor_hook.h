#pragma once
// The viewer's door to the collage print editor, which lives in the
// printing layer above the viewer: the editor installs its opener once at
// start-up (C_Edit_collage_print::install), and the viewer's EDIT command
// hands the current image through it.

#include "runtime/object.h"

namespace brek {

class C_Collage_viewer;
class C_Image;

namespace Print_editor_hook {

using Opener = void (*)(const Ref<C_Collage_viewer>& viewer, const Ref<C_Image>& image);

// nullptr removes it.
void set_opener(Opener opener);
// The image becomes a card of the viewer's editor, which shows; false
// when no editor is installed.
bool open(const Ref<C_Collage_viewer>& viewer, const Ref<C_Image>& image);

}  // namespace Print_editor_hook
}  // namespace brek
