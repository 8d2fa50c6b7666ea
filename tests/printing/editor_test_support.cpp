#include "tests/printing/editor_test_support.h"


#include "forms/event_routing.h"
#include "forms/placement.h"
#include "platform/test_events.h"
#include "platform/window.h"

namespace editor_test {

namespace te = brek_platform::test_events;

Pixels quadrants(int w, int h, uint32_t tl, uint32_t tr, uint32_t br, uint32_t bl) {
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool right = x >= w / 2, bottom = y >= h / 2;
      p.set(x, y, bottom ? (right ? br : bl) : (right ? tr : tl));
    }
  return p;
}

Ref<C_Image> pasted(int w, int h, uint32_t tl, uint32_t tr, uint32_t br, uint32_t bl) {
  Ref<C_Image> im = C_Image::create();
  im->file_name = "<clipboard>";
  Ref<C_Bitmap> b = C_Bitmap::create(w, h, 24);
  *b->pixels() = quadrants(w, h, tl, tr, br, bl);
  b->take_pixel_size();
  im->picture = b;
  im->width = w;
  im->height = h;
  return im;
}

Ref<C_Image> pasted(int w, int h, uint32_t colour) { return pasted(w, h, colour, colour, colour, colour); }

void Editor::SetUp() {
  e = C_Edit_collage_print::create();
  e->build_controls();
  e->set_bounds({40, 40, 600, 600});
  e->show();
  ASSERT_TRUE(te::wait_exposed(e->native));
  te::settle();
  // The sheet has room to work in, where the screen has it.
  Placement::refresh_monitors();
  const rect work = Placement::monitor_work_area(0);
  if (work.w < 640 || work.h < 400) return;
  ASSERT_GT(e->pbox->get_client_width(), 300);
  ASSERT_GT(e->pbox->get_client_height(), 300);
}

void Editor::TearDown() {
  dispose_now(e);
  e.reset();
}

int64_t Editor::add(double x, double y, double w, double h, uint32_t colour) {
  e->add_image(pasted(int(w * 96 / 72), int(h * 96 / 72), colour));
  const int64_t i = e->cards.count() - 1;
  set_rect(i, rect{x, y, w, h});
  return i;
}

std::vector<int64_t> Editor::selected() const { return e->selection.to_vector(); }

std::vector<int64_t> Editor::serials() const {
  std::vector<int64_t> s;
  for (const auto& c : e->cards) s.push_back(c.serial);
  return s;
}

void Editor::paint() {
  e->pbox->invalidate_all();
  e->pbox->paint_surface();
}

uint32_t Editor::at(double x, double y) const {
  const Pixels* p = e->pbox->back_buffer->pixels();
  const int px = int(x * 96 / 72), py = int(y * 96 / 72);
  if (!p || px < 0 || py < 0 || px >= p->width() || py >= p->height()) return 0;
  return p->at(px, py) | 0xFF000000u;
}

void Editor::press(double x, double y, int button) { te::mouse_press(e->pbox->native, {x, y}, button); }
void Editor::release(double x, double y, int button) { te::mouse_release(e->pbox->native, {x, y}, button); }

void Editor::move(double x, double y) {
  paint();
  te::mouse_move(e->pbox->native, {x, y});
}

void Editor::drag(double x0, double y0, double x1, double y1) {
  press(x0, y0);
  move((x0 + x1) / 2, (y0 + y1) / 2);
  move(x1, y1);
  release(x1, y1);
}

void Editor::double_click(double x, double y, int button) {
  if (button == 1) {
    te::double_click(e->pbox->native, {x, y});
    return;
  }
  click(x, y, button);
  // The platform reports the second press of a quick pair as a double click.
  Event_routing::double_click_pending();
  click(x, y, button);
}

void Editor::wheel(double x, double y, int delta, int delta_x) {
  te::wheel(e->pbox->native, {x, y}, delta, delta_x);
  te::settle();
}

void Editor::key(int vk, brek_platform::Key_modifiers mods) { te::key(e->native, vk, mods); }

void Editor::hold(int vk, bool down) {
  // A modifier's own key carries the state from before it: none at the
  // press, the modifier itself at the release.
  brek_platform::Key_modifiers m;
  if (vk == 16) m.shift = !down;
  if (vk == 17) m.ctrl = !down;
  if (down)
    te::key_press(e->native, vk, m);
  else
    te::key_release(e->native, vk, m);
}

}  // namespace editor_test
