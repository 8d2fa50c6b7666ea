#pragma once
// The program's own icon on its windows. No Qt types here;
// platform/qt/window_icon.cpp implements it.

#include <vector>

#include "platform/image_decode.h"

namespace brek_platform {

// Every top-level window of the program, those open now and those opened
// later, shows these pictures as its icon (the window system picks the
// size it needs). An empty list takes the icon away again. Does nothing
// before the application object exists.
void set_window_icon(const std::vector<Decoded_image>& sizes);

// How many pictures the program's window icon holds now.
int window_icon_count();

}  // namespace brek_platform
