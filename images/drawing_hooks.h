#pragma once
// What the drawing layer borrows from the image layer, handed over at
// start-up so that drawing never depends on images: the icon and cursor
// file reader behind C_Icon::load_from_file.

namespace brek::Drawing_hooks {

// Registers the image layer's readers with the drawing layer (idempotent).
void install();

}  // namespace brek::Drawing_hooks
