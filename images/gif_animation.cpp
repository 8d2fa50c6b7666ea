#include "images/gif_animation.h"

namespace brek {

const Pixels* Gif_animation::current_picture() const {
  // The composition is cached: asking again for the same frame draws nothing.
  const Pixels& p = gif_->render_current_frame();
  return p.empty() ? nullptr : &p;
}

void Gif_animation::show_frame(int64_t index) {
  gif_->set_current_frame(index);
  gif_->render_current_frame();
}

Gif_animation* Gif_animation::of(const Native_bitmap* native) {
  if (!native) return nullptr;
  return dynamic_cast<Gif_animation*>(native->animation.get());
}

}  // namespace brek
