// Directory scanning: one directory of the tree per step, merged into the
// file list.
#include <algorithm>
#include <cerrno>
#include <optional>
#include <set>
#include <unordered_set>
#include <vector>

#include "baselib/bounded_ask.h"
#include "baselib/file_path.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "baselib/string_functions.h"
#include "baselib/system_functions.h"
#include "platform/mount_table.h"
#include "runtime/clock.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"
#include "viewer/captions.h"
#include "viewer/collage_viewer.h"
#include "viewer/dir_scan.h"

namespace brek {

namespace {

// How long the first caption of a scan that waits for its worker stays
// before the step returns to the loop, ms.
constexpr double SCANNING_PAUSE_MS = 150;
// How long a tick lists queued folders, ms: a tree of a folder a day
// shows within seconds, and the window answers in between.
constexpr int64_t LISTING_SLICE_MS = 100;

}  // namespace

bool C_Collage_viewer::uses_scan_thread() {
  return Dir_scan::uses_scan_thread(System_functions::platform_description());
}

void C_Collage_viewer::scan_next_directory(DynAStr& list, const brek_platform::Trash_folders& trash) {
  list.clear();
  listing_failed_ = false;
  if (is_none()) return;
  if (scan_dir.empty()) dir_queue.clear();
  if (last_scan_root != scan_dir) {
    last_scan_root = scan_dir;
    known_dirs.add(scan_dir);
  }
  std::string d = scan_dir;
  if (!dir_queue.empty()) {
    d = dir_queue.get(0);
    dir_queue.remove(0);
    known_dirs.add(d);
  }
  if (d.empty()) return;
  scan_dir = d;
  int err = 0;
  listing_unanswered_ = !Bounded_ask::list_directory(d, list, &err);
  if (listing_unanswered_) {
    // Its mount does not answer: left out, its files kept, and listed
    // again once the mount answers.
    unanswered_dirs_.insert(d);
    listing_failed_ = true;
    start_timer();
    return;
  }
  unanswered_dirs_.erase(d);
  // A directory that is gone lists as empty; one that is there but could
  // not be read says nothing about its files.
  listing_failed_ = err != 0 && err != ENOENT && err != ENOTDIR;
  Dir_scan::prefix_names(d, list);
  Dir_scan::queue_subdirectories(list, dir_queue, known_dirs, trash);
  start_timer();
}

C_Collage_viewer::Scan_batch::Scan_batch(const DynAObj<C_Image>& files) {
  for (const Ref<C_Image>& f : files) entries.add(Dir_scan::directory_view(f->file_name), 1);
}

void C_Collage_viewer::scan_step(bool restart) {
  if (is_none()) return;
  Scan_batch batch(files);
  const bool changed = scan_into(restart, batch);
  if (!batch.waiting) show_scan_caption();
  if (changed) relayout();
}

void C_Collage_viewer::list_for_a_while() {
  if (is_none()) return;
  Scan_batch batch(files);
  bool changed = false;
  int64_t listed = 0;
  const int64_t t0 = Brek_runtime::tick_count_ms();
  do {
    changed = scan_into(false, batch) || changed;
    quiet_scan_steps_ = scan_changed_ || !dir_queue.empty() ? 0 : quiet_scan_steps_ + 1;
    if (!batch.waiting) ++listed;
    // A step that waits for its worker may have let the window's messages
    // run: what they did to the list is not in the batch.
  } while (!batch.waiting && !dir_queue.empty() && !exiting && !escape_pending &&
           Brek_runtime::tick_count_ms() - t0 < LISTING_SLICE_MS);
  if (listed > 0) show_scan_caption();
  if (changed || files.count() > laid_out_count) relayout();
}

void C_Collage_viewer::show_scan_caption() {
  if (single_mode) return;
  if (caption_dir.empty()) caption_dir = scan_dir;
  collage->update_caption(directory_caption());
}

std::string C_Collage_viewer::directory_caption() {
  std::string caption = Viewer_captions::directory(title, caption_dir, Localize_str::text(lng::Collage_viewer::files),
                                                   files.count());
  // Those that hold the tree or lie in it, whoever found them silent.
  const std::string root = File_path::without_trailing_separator(root_dir);
  for (const std::string& mount : Bounded_ask::silent_mounts())
    if (!root.empty() && (!brek_platform::holding_mount({mount}, root).empty() ||
                          !brek_platform::holding_mount({root}, mount).empty()))
      caption += " - " + mount + Viewer_captions::NO_ANSWER;
  return caption;
}

void C_Collage_viewer::list_answering_again() {
  bool answered = false;
  for (auto d = unanswered_dirs_.begin(); d != unanswered_dirs_.end();) {
    if (!Bounded_ask::silent_mount_of(*d).empty()) {
      ++d;
      continue;
    }
    const auto at = std::lower_bound(dir_queue.begin(), dir_queue.end(), *d);
    if (at == dir_queue.end() || *at != *d) dir_queue.insert(at - dir_queue.begin(), *d);
    d = unanswered_dirs_.erase(d);
    answered = true;
  }
  // Cells of its pictures in view get them now.
  if (answered) repaint();
}

bool C_Collage_viewer::scan_into(bool restart, Scan_batch& batch) {
  scan_changed_ = true;
  if (last_listed_dir == scan_dir && !known_dirs.empty()) scan_dir = known_dirs.next_after(scan_dir);
  last_listed_dir = scan_dir;
  if (scan_dir.empty()) return false;

  DynAStr list;
  scan_next_directory(list, batch.trash);
  // Nothing of a directory whose mount does not answer is asked again.
  if (listing_unanswered_) {
    scan_changed_ = false;
    return false;
  }
  const std::string listed_dir = scan_dir;
  const std::string dir = NATIVE_String_functions::with_trailing_separator(listed_dir);
  bool listing_failed = listing_failed_;
  bool changed = false;

  if (scanning && list.empty() && uses_scan_thread()) {
    const bool fresh = restart || rescan_job.is_none() || rescan_thread->dir != scan_dir;
    if (!fresh) {
      // The worker's entries are read only once it is done with them.
      if (!rescan_job->is_finished()) {
        batch.waiting = true;
        start_timer();
        return false;
      }
      list = rescan_job->entries;
      listing_failed = list.empty();
      rescan_job.reset();
      rescan_thread.reset();
    } else {
      // A directory read without error that holds no image any more loses
      // its files now, whatever the worker finds later.
      if (!listing_failed && batch.entries.of(dir) > 0) {
        const int64_t before = files.count();
        changed = merge_listed(listed_dir, DynAStr{}, false);
        batch.entries.add(dir, files.count() - before);
      }
      Ref<C_Rescan_dir> job = C_Rescan_dir::create(scan_dir);
      Ref<C_Rescan_dir> started = ref_cast<C_Rescan_dir>(job->start());
      if (!started.is_none()) {
        rescan_job = job;
        rescan_thread = started;
        batch.waiting = true;
        // The single view keeps its picture's title while its folder is
        // listed behind it.
        if (files.count() == 0 && !single_mode) {
          collage->update_caption(title + " - " + scan_dir + " ... scanning");
          const int64_t pause = Brek_runtime::add_timer(0, SCANNING_PAUSE_MS);
          try {
            process_messages();
          } catch (const Timer_due_exception& e) {
            if (e.id() != pause) {
              Brek_runtime::remove_timer(pause);
              throw;
            }
          } catch (...) {
            Brek_runtime::remove_timer(pause);
            throw;
          }
          Brek_runtime::remove_timer(pause);
        }
        start_timer();
        return changed;
      }
      // No thread could be started: the listing runs here.
      rescan_job.reset();
      rescan_thread.reset();
    }
  }

  if (list.empty()) {
    int err = 0;
    if (Bounded_ask::list_directory(scan_dir, list, &err)) {
      listing_failed = err != 0 && err != ENOENT && err != ENOTDIR;
      Dir_scan::prefix_names(scan_dir, list);
    } else {
      listing_failed = true;
    }
  }

  Dir_scan::keep_image_files(list);
  const int64_t held = batch.entries.of(dir);
  const int64_t before = files.count();
  if (add_listed_files(listed_dir, list, held)) changed = true;
  // A directory new to the list holds only what it just listed: nothing
  // there can have vanished or changed.
  if (held > 0 && merge_listed(listed_dir, list, listing_failed)) changed = true;
  batch.entries.add(dir, files.count() - before);

  if (current_file.empty()) current_file = files.get(0)->file_name;
  scan_changed_ = changed;
  return changed;
}

bool C_Collage_viewer::add_listed_files(const std::string& listed_dir, const DynAStr& list, int64_t held) {
  const std::string dir = NATIVE_String_functions::with_trailing_separator(listed_dir);
  // Copies: a loop tick may run the window's messages, which can let go
  // of the entries (a renewal, a delete).
  std::unordered_set<std::string> known;
  if (held > 0) {
    known.reserve(size_t(held));
    for (const Ref<C_Image>& f : files)
      if (Dir_scan::directory_view(f->file_name) == dir) known.insert(f->file_name);
  }
  bool changed = false;
  for (int64_t i = 0; i < list.count(); ++i) {
    Brek_runtime::loop_tick();
    const std::string* entry = list.at(i);
    if (!entry || known.count(*entry)) continue;
    Ref<C_Image> image = C_Image::create();
    image->file_name = *entry;
    files.append(image);
    // Where the directory holds nothing else the end of the list is its place.
    if (held > 0) group_new_file();
    if (current_file.empty()) current_file = *entry;
    changed = true;
  }
  return changed;
}

bool C_Collage_viewer::merge_listed(const std::string& listed_dir, const DynAStr& list, bool listing_failed) {
  const std::string dir = NATIVE_String_functions::with_trailing_separator(listed_dir);
  std::unordered_set<std::string> listed;
  listed.reserve(size_t(list.count()));
  for (int64_t i = 0; i < list.count(); ++i) listed.insert(list.get(i));
  // The files kept are asked whether they changed in one question to the
  // folder's mount, which may have stopped answering since it listed.
  std::vector<Ref<C_Image>> kept;
  for (const Ref<C_Image>& f : files)
    if (Dir_scan::directory_view(f->file_name) == dir && (listing_failed || listed.count(f->file_name)))
      kept.push_back(f);
  std::unordered_set<const C_Image*> renewed;
  if (const std::optional<std::vector<bool>> news = C_Image::files_changed(kept))
    for (size_t k = 0; k < kept.size(); ++k)
      if ((*news)[k]) renewed.insert(kept[k].get());
  bool changed = false;
  for (int64_t i = files.count() - 1; i >= 0; --i) {
    Brek_runtime::loop_tick();
    const Ref<C_Image> f = files.get(i);
    if (Dir_scan::directory_view(f->file_name) != dir) continue;
    if (!listing_failed && !listed.count(f->file_name)) {
      files.remove(i);
      files.get(i)->set_load_options(rect{});
    } else if (renewed.count(f.get())) {
      renew_entry(i);
    } else {
      continue;
    }
    changed = true;
  }
  return changed;
}

void C_Collage_viewer::renew_entry(int64_t i) {
  const Ref<C_Image> old = files.get(i);
  // A new object: the old one's pictures, cell copies and orientation
  // belong to what the file held before.
  Ref<C_Image> fresh = C_Image::create();
  fresh->file_name = old->file_name;
  files.set(i, fresh);
  if (shown_image.same(old)) shown_image.reset();
  laid_out_count = std::min(laid_out_count, i);
  if (single_mode && fresh->file_name == current_file) {
    show_file(fresh);
    repaint();
  }
}

void C_Collage_viewer::group_new_file() {
  if (is_none()) return;
  const int64_t n = files.count();
  if (n < 2 || same_directory(n - 2, n - 1)) return;
  for (int64_t i = n - 3; i >= 0; --i) {
    if (exiting || escape_pending) return;
    if (!same_directory(i, n - 1)) continue;
    // Moved behind its directory's last entry; the entries between keep
    // their order, so no other directory's set is torn apart.
    Ref<C_Image> moved = files.get(n - 1);
    files.remove(n - 1);
    files.insert(i + 1, moved);
    if (laid_out_count > i + 1) {
      laid_out_count = i + 1;
      last_cell = files.get(i)->rect;
      layout_bottom = last_cell.y + last_cell.h;
    }
    return;
  }
}

}  // namespace brek
