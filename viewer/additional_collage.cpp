#include "viewer/additional_collage.h"

#include <algorithm>

#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "baselib/system_functions.h"
#include "drawing/font.h"
#include "forms/placement.h"
#include "forms/settings_writes.h"
#include "images/image_file_name.h"
#include "runtime/strings.h"
#include "drawing/canvas_keep.h"
#include "viewer/captions.h"
#include "viewer/collage_viewer.h"
#include "viewer/version_history.h"

namespace brek {

namespace {
using area = area_where_configuration_is_stored;

// The least room between the empty window's texts and the box's sides,
// points.
constexpr double ABOUT_MARGIN = 4;

// The two notice lines of the title block.
const char* const NOTICE_1 = "Single images and whole directory trees as collages";
const char* const NOTICE_2 = "Left click: open an image    Right click: menu";
}  // namespace

void C_Additional_collage::version_text() {
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  v->title = Version_history::title_for(Viewer_captions::program_name(), newest_version());
}

void C_Additional_collage::destroy_hook() {
  viewer.reset();
  move_dialog.reset();
  image.reset();
  save_dialog.reset();
  C_Sorting::destroy_hook();
}

void C_Additional_collage::clear_current_image() {
  if (is_none()) return;
  image.reset();
  auto_save = false;
}

void C_Additional_collage::reset_image() {
  if (is_none()) return;
  image.reset();
}

bool C_Additional_collage::end_thumb_drag() {
  if (is_none()) return false;
  bool was = drag_thumb_w > 0;
  drag_thumb_w = 0;
  return was;
}

// ---- settings ----------------------------------------------------------------

double C_Additional_collage::thumb_scale_for(int64_t h) { return std::clamp(double(h) / 192.0, 0.2, 2.0); }

void C_Additional_collage::read_settings(const C_Config& config) {
  if (is_none()) return;
  int64_t mode = config.read_integer("Mode");
  if (mode >= 0 && mode <= 2) mode_view = static_cast<brek::mode_view>(mode);
  int64_t order = config.read_integer("Order");
  if (order >= 0 && order <= 4) sort_by = static_cast<brek::sort_by>(order);
  descendant = config.read_boolean("Descendant");
  thumb_w = config.read_integer("Thumb_w");
  if (thumb_w < THUMB_W_MIN || thumb_w > THUMB_W_MAX) thumb_w = THUMB_W_DEFAULT;
  thumb_h = config.read_integer("Thumb_h");
  if (thumb_h < THUMB_H_MIN || thumb_h > THUMB_H_MAX) thumb_h = THUMB_H_DEFAULT;
  full_screen = config.read_boolean("Full_screen");
  single_always = config.read_boolean("Single_always");
}

void C_Additional_collage::load_settings() {
  if (is_none()) return;
  Ref<C_Config> config = C_Config::open_read(SETTINGS_APPLICATION, area::USER, SETTINGS_SECTION);
  read_settings(*config);
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  v->thumb_scale = thumb_scale_for(thumb_h);
  v->repaint();
  Placement::refresh_monitors();
  if (full_screen) v->start_timer();
}

void C_Additional_collage::save_settings() {
  if (is_none()) return;
  Settings_writes::run(viewer.lock(), [&] {
    Ref<C_Config> config = C_Config::open_write(SETTINGS_APPLICATION, area::USER, SETTINGS_SECTION);
    config->write_integer("Mode", static_cast<int64_t>(mode_view));
    config->write_integer("Order", static_cast<int64_t>(sort_by));
    config->write_boolean("Descendant", descendant);
    config->write_integer("Thumb_w", thumb_w);
    config->write_integer("Thumb_h", thumb_h);
    config->write_boolean("Full_screen", full_screen);
    config->write_boolean("Single_always", single_always);
  });
}

// ---- caption -----------------------------------------------------------------

void C_Additional_collage::update_caption(const std::string& text) {
  if (is_none()) return;
  caption = text;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (!full_screen) v->set_caption(caption);
}

// ---- the empty window --------------------------------------------------------

std::string C_Additional_collage::newest_version() { return Version_history::newest_version(); }

DynAStr C_Additional_collage::about_lines() {
  DynAStr lines;
  if (is_none()) return lines;
  date_time now = Date_time::now();
  if (Date_time::difference_seconds(now, blink_time) >= BLINK_SECONDS) {
    blink_on = !blink_on;
    blink_time = now;
  }
  if (blink_on) {
    lines.append(Localize_str::text(hint_index == 0 ? lng::Additional_collage::JustDrop
                                                    : lng::Additional_collage::OrClick));
    if (Date_time::difference_seconds(now, hint_time) > 1.0) {
      hint_time = now;
      hint_index = (hint_index + 1) % 2;
    }
    return lines;
  }
  lines.append(Viewer_captions::program_name() + " v" + newest_version());
  lines.append(NOTICE_1);
  lines.append(NOTICE_2);
  lines.append("");
  lines.append(System_functions::platform_description());
  return lines;
}

void C_Additional_collage::paint_about(const Ref<C_Canvas>& canvas, double box_w, double box_h) {
  if (is_none() || canvas.is_none()) return;
  DynAStr lines = about_lines();
  const int64_t n = lines.count();

  // Points are the box's own unit: no conversion for the block.
  Canvas_keep keep(canvas);
  canvas->units = units_measure_graphics::POINTS;
  canvas->pen_color = COLOR_WHITE;
  // A line wider than the box breaks at its blanks, keeping its size.
  const double room = box_w - 2 * ABOUT_MARGIN;
  std::vector<std::pair<std::string, double>> shown;
  for (int64_t i = 0; i < n; ++i) {
    const double size = i == 0 ? 24.0 : (i == n - 1 ? 10.0 : 14.0);
    canvas->font->size = size;
    for (std::string& piece :
         Viewer_captions::wrap_words(lines.get(i), room, [&](const std::string& t) { return canvas->text_extent(t).w; }))
      shown.emplace_back(std::move(piece), size);
  }
  const double block_h = 14.0 * double(shown.size()) + 6.0;
  double y = double(Brek_runtime::to_int64_checked((box_h - block_h) / 2));
  for (const auto& [line, size] : shown) {
    canvas->font->size = size;
    rect ext = canvas->text_extent(line);
    // A single word wider than the box is drawn smaller, never cut.
    for (int k = 0; k < 4 && ext.w > room && room > 1; ++k) {
      canvas->font->size = std::max(1.0, canvas->font->size * room / ext.w * 0.97);
      ext = canvas->text_extent(line);
    }
    canvas->draw_text(point{(box_w - ext.w) / 2, y}, line);
    y += std::max(10.0, ext.h);
  }
}

// ---- timer duties ------------------------------------------------------------

bool C_Additional_collage::timer_tasks() {
  if (is_none()) return false;
  if (pending_placement && full_screen) place_full_screen();
  pending_placement = false;
  if (auto_save) return auto_save_step();
  blink_tick();
  return false;
}

// ---- file names --------------------------------------------------------------

bool C_Additional_collage::is_image_file_name(const std::string& name) {
  return Image_file_name::is_image_file_name(name);
}

std::string C_Additional_collage::file_extension(const std::string& name) {
  return Image_file_name::file_extension(name);
}

}  // namespace brek
