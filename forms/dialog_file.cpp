#include "forms/dialog_file.h"

#include <algorithm>

#include "baselib/bounded_ask.h"
#include "baselib/file_path.h"
#include "baselib/string_functions.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/modal_run.h"
#include "forms/placement.h"
#include "platform/file_dialog.h"
#include "platform/mount_table.h"

namespace brek {

namespace {

using NATIVE_String_functions::split;
using NATIVE_String_functions::trim;

// The suffix the platform adds to a typed name: no dot, no wildcard.
std::string suffix_of(const std::string& ext) {
  std::string s = ext;
  while (!s.empty() && s.front() == '.') s.erase(0, 1);
  if (s.find_first_of("*?[]/") != std::string::npos) return {};
  return s;
}

// The form's current control comes back after a dialog, whatever ran
// meanwhile.
struct Keep_current {
  Ref<C_Form> form;
  Ref<C_Control> kept;
  explicit Keep_current(const Ref<C_Form>& f) : form(f), kept(f->current_control()) {}
  ~Keep_current() { form->set_current_control(kept); }
};

// A file dialog is kept on a monitor's work area and cut to it, as every
// other dialog is.
brek_platform::Rect_pt fit_dialog(const brek_platform::Rect_pt& r) {
  Placement::refresh_monitors();
  const rect f =
      Placement::fit_to_display(Placement::monitor_rects(), Placement::monitor_work_areas(), rect{r.x, r.y, r.w, r.h});
  return brek_platform::Rect_pt{f.x, f.y, f.w, f.h};
}

}  // namespace

// ---- C_Dialog_file ----

Ref<C_Dialog_file> C_Dialog_file::create_open(const Ref<C_Form>& form, const std::string& name) {
  Ref<C_Dialog_file> d = make_on<C_Dialog_file>(form, name);
  d->save = 0;
  return d;
}

Ref<C_Dialog_file> C_Dialog_file::create_save(const Ref<C_Form>& form, const std::string& name) {
  Ref<C_Dialog_file> d = make_on<C_Dialog_file>(form, name);
  d->save = 1;
  return d;
}

void C_Dialog_file::create_native() { native = brek_platform::dialog_holder_create(form.lock()->native); }

void C_Dialog_file::destroy_hook() {
  if (native != 0) {
    brek_platform::dialog_holder_destroy(native);
    native = 0;
  }
  C_Control::destroy_hook();
}

std::string C_Dialog_file::clean_directory(const std::string& dir) {
  if (dir.empty()) return dir;
  std::string out;
  size_t i = 0;
  // Exactly two leading separators are left alone; three or more are one.
  if (dir.size() >= 2 && dir[0] == '/' && dir[1] == '/' && (dir.size() == 2 || dir[2] != '/')) {
    out = "//";
    i = 2;
  }
  for (; i < dir.size(); ++i) {
    if (dir[i] == '/' && !out.empty() && out.back() == '/') continue;
    out += dir[i];
  }
  if (out.back() != '/') out += '/';
  return out;
}

std::vector<std::string> C_Dialog_file::name_filters(const std::string& filter) {
  std::vector<std::string> out;
  if (trim(filter).empty()) return out;
  DynAStr parts = split(filter, "|");
  for (int64_t i = 0; i < parts.count(); i += 2) {
    std::string description = trim(parts.get(i));
    std::string patterns;
    DynAStr list = split(parts.get(i + 1), ";");
    for (int64_t j = 0; j < list.count(); ++j) {
      std::string p = trim(list.get(j));
      if (p.empty()) continue;
      // Here "*.*" would leave out names without a dot.
      if (p == "*.*") p = "*";
      if (!patterns.empty()) patterns += " ";
      patterns += p;
    }
    if (patterns.empty()) patterns = "*";
    if (description.empty()) description = patterns;
    out.push_back(description + " (" + patterns + ")");
  }
  return out;
}

std::string C_Dialog_file::proposed_extension(const std::string& default_ext, const std::string& filter) {
  std::string ext = default_ext;
  if (ext.empty()) {
    std::string first = trim(split(split(filter, "|").get(1), ";").get(0));
    size_t dot = first.find('.');
    if (dot != std::string::npos) ext = first.substr(dot);
  }
  std::string s = suffix_of(ext);
  return s.empty() ? std::string() : "." + s;
}

bool C_Dialog_file::execute() {
  if (is_none() || native == 0) return false;
  Ref<C_Dialog_file> keep(this);
  if (!initial_dir.empty()) initial_dir = clean_directory(initial_dir);
  const Ref<C_Form> over = form.lock();
  Keep_current current(over);
  Modal_run modal(over->screen.lock(), over);

  brek_platform::File_dialog_request request;
  request.save = save != 0;
  request.title = title;
  request.directory = initial_dir;
  request.filters = name_filters(filter);
  request.default_suffix = suffix_of(save ? proposed_extension(default_ext, filter) : default_ext);
  request.file_name = file_name;
  request.multi_select = !save && multi_select;
  request.fit = fit_dialog;
  std::vector<std::string> chosen;
  if (!brek_platform::run_file_dialog(native, request, chosen) || chosen.empty()) return false;
  file_names.clear();
  for (const std::string& name : chosen) file_names.append(name);
  file_name = chosen.front();
  return true;
}

// ---- C_Dialog_dir ----

Ref<C_Dialog_dir> C_Dialog_dir::create(const Ref<C_Form>& form, const std::string& name) {
  return make_on<C_Dialog_dir>(form, name);
}

void C_Dialog_dir::create_native() { native = brek_platform::dialog_holder_create(form.lock()->native); }

void C_Dialog_dir::destroy_hook() {
  if (native != 0) {
    brek_platform::dialog_holder_destroy(native);
    native = 0;
  }
  C_Control::destroy_hook();
}

std::string C_Dialog_dir::start_directory() const {
  // The dialog would wait for a folder whose mount does not answer.
  return Bounded_ask::existing_folder_or({directory, initial_dir}, "");
}

bool C_Dialog_dir::execute() {
  if (is_none() || native == 0) return false;
  Ref<C_Dialog_dir> keep(this);
  const Ref<C_Form> over = form.lock();
  Keep_current current(over);
  Modal_run modal(over->screen.lock(), over);
  brek_platform::Directory_dialog_request request;
  request.caption = caption;
  request.directory = start_directory();
  request.fit = fit_dialog;
  std::string chosen;
  if (!brek_platform::run_directory_dialog(native, request, chosen) || chosen.empty()) return false;
  directory = chosen;
  return true;
}

// ---- drives ----

namespace Drives {

std::string logical_drives() { return {}; }

DynAStr volume_roots() {
  DynAStr roots;
  for (const brek_platform::Volume& v : brek_platform::mounted_volumes()) roots.append(v.root);
  return roots;
}

brek::drive_type type_of_volume(const std::string& file_system, const std::string& root) {
  static const char* const remote[] = {"nfs",  "nfs4",      "cifs",  "smb3",   "smbfs",       "sshfs",
                                       "9p",   "afs",       "ceph",  "davfs",  "glusterfs",   "fuse.sshfs",
                                       "fuse.rclone", "fuse.davfs2", "fuse.glusterfs", "ncpfs", "coda"};
  static const char* const optical[] = {"iso9660", "udf", "cd9660"};
  static const char* const ram[] = {"tmpfs", "ramfs"};
  static const char* const virtual_fs[] = {"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2",
                                           "securityfs", "debugfs", "tracefs", "pstore", "bpf", "mqueue",
                                           "hugetlbfs", "configfs", "fusectl", "autofs", "binfmt_misc"};
  auto in = [&](const auto& list) {
    return std::any_of(std::begin(list), std::end(list), [&](const char* n) { return file_system == n; });
  };
  if (in(remote)) return brek::drive_type::REMOTE;
  if (in(optical)) return brek::drive_type::CD_DVD;
  if (in(ram)) return brek::drive_type::RAM_DISK;
  if (in(virtual_fs) || file_system.empty()) return brek::drive_type::UNKNOWN;
  // Media the desktop mounts for the user are the removable ones.
  if (root.rfind("/media/", 0) == 0 || root.rfind("/run/media/", 0) == 0) return brek::drive_type::REMOVABLE;
  return brek::drive_type::FIXED;
}

brek::drive_type drive_type(const std::string& path) {
  brek_platform::Volume v;
  // Only a full path names a place; "C" or "C:" is no drive here.
  if (path.empty() || path[0] != '/' || !brek_platform::volume_of(path, v)) return brek::drive_type::NOT_EXIST;
  return type_of_volume(v.file_system, v.root);
}

}  // namespace Drives

}  // namespace brek
