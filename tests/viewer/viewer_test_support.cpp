#include "tests/viewer/viewer_test_support.h"

#include "tests/support/wait_until.h"

#include <cerrno>
#include <cstdio>

namespace viewer_test {

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

void Boxed::paint_once_decoded() {
  EXPECT_TRUE(brek_test::wait_until([&] {
    v->cell_decodes.step(v->collage->thumbnails);
    return !v->cell_decodes.busy();
  })) << "the worker never finished";
  paint();
}

std::vector<uint32_t> Boxed::sample(int step) const {
  std::vector<uint32_t> out;
  const Pixels* p = v->pb->back_buffer->pixels();
  if (!p) return out;
  for (int y = 0; y < p->height(); y += step)
    for (int x = 0; x < p->width(); x += step) out.push_back(at(x, y));
  return out;
}

uint32_t Boxed::at(int x, int y) const {
  const Pixels* p = v->pb->back_buffer->pixels();
  if (!p || x < 0 || y < 0 || x >= p->width() || y >= p->height()) return 0;
  return p->at(x, y) | 0xFF000000u;
}

void fill_disk(const std::string& dir) {
  FILE* f = std::fopen((dir + "/filler").c_str(), "wb");
  ASSERT_NE(f, nullptr) << dir;
  const std::string block(1024, 'x');
  while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
  }
  const int e = errno;
  std::fclose(f);
  ASSERT_EQ(e, ENOSPC) << dir;
}

}  // namespace viewer_test
