#include "tests/viewer/viewer_test_support.h"

#include "images/image_file_io.h"

namespace viewer_test {

Pixels quadrants(int w, int h) {
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool right = x >= w / 2, bottom = y >= h / 2;
      p.set(x, y, bottom ? (right ? WHITE : BLUE) : (right ? GREEN : RED));
    }
  return p;
}

bool write_bmp(const Pixels& p, const std::string& path) { return Image_file_io::save_bmp(p, path, false); }

Ref<Test_viewer> new_viewer() {
  Ref<Test_viewer> v = make<Test_viewer>();
  v->load_language();
  return v;
}

Buffer::Buffer(int w, int h) : bitmap(C_Bitmap::create(w, h, 0)) {}

double Buffer::box_w() const { return C_Canvas::from_device_pixels(double(bitmap->width)); }
double Buffer::box_h() const { return C_Canvas::from_device_pixels(double(bitmap->height)); }

uint32_t Buffer::at(int x, int y) const { return bitmap->pixels()->at(x, y) | 0xFF000000u; }

void paint(const Ref<Test_viewer>& v, Buffer& b) { v->paint_into(b.bitmap->canvas(), b.box_w(), b.box_h()); }

Boxed::Boxed(int w, int h) {
  previous_forms_ = brek_platform::set_native_forms(brek_platform::window_layer());
  previous_panels_ = brek_platform::set_native_paint_panels(&panels);
  Event_routing::reset_state();
  screen = make<C_Screen>();
  v = make<Test_viewer>();
  v->screen = screen;
  v->create();
  resize(w, h);
}

Boxed::~Boxed() {
  dispose_now(v);
  v.reset();
  dispose_now(screen);
  brek_platform::test_events::settle();
  Event_routing::reset_state();
  brek_platform::set_native_paint_panels(previous_panels_);
  brek_platform::set_native_forms(previous_forms_);
}

void Boxed::resize(int w, int h) {
  if (v->pb->native != 0) panels.panels[v->pb->native].surface = {0, 0, w, h};
  v->on_resize();
}

void Boxed::paint() {
  v->pb->invalidate_all();
  v->pb->paint_surface();
}

uint32_t Boxed::at(int x, int y) const {
  const Pixels* p = v->pb->back_buffer->pixels();
  if (!p || x < 0 || y < 0 || x >= p->width() || y >= p->height()) return 0;
  return p->at(x, y) | 0xFF000000u;
}

}  // namespace viewer_test
