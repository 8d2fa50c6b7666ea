#pragma once
// The platform's open and save dialogs (C_Dialog_file) and its directory
// dialog (C_Dialog_dir), put on a form like controls that take no room:
// fill the fields, call execute, read the result. Their native side is a
// holder that goes with the form (platform/file_dialog.h). The drives of
// the folder pickers come from the mounted volumes (namespace Drives).

#include <cstdint>
#include <string>
#include <vector>

#include "forms/control.h"
#include "runtime/dyn_array.h"

namespace brek {

class C_Dialog_file : public C_Control {
  BREK_CLASS(C_Dialog_file)
 public:
  uint8_t save = 0;  // a save dialog; set by the factory
  std::string title;
  std::string initial_dir;
  std::string default_ext;
  // Pairs of description and patterns separated by "|", the patterns of a
  // pair by ";": "JPEG files|*.jpg;*.jpeg|All files|*.*".
  std::string filter;
  // The name proposed; after a confirmed dialog the (first) chosen file.
  std::string file_name;
  uint8_t multi_select = 0;
  // Every chosen file of a confirmed dialog, in the dialog's order (names
  // may hold any character, ";" included).
  DynAStr file_names;

  static Ref<C_Dialog_file> create_open(const Ref<C_Form>& form, const std::string& name);
  static Ref<C_Dialog_file> create_save(const Ref<C_Form>& form, const std::string& name);

  void create_native() override;
  void destroy_hook() override;
  bool is_visual() override { return false; }
  rect get_bounds() override { return rect{}; }

  // true when the user confirmed; the choice is then in file_name and
  // file_names. Cancelled: false, and both keep their values.
  bool execute();

  // ---- the rules, apart from the dialog ----
  // Runs of "/" become one, except a leading "//" (a name the system may
  // read apart); a trailing "/" is added. An empty text stays empty.
  static std::string clean_directory(const std::string& dir);
  // The filter in the platform's form, one entry per pair:
  // "Description (*.jpg *.jpeg)". "*.*" means every file and becomes "*".
  static std::vector<std::string> name_filters(const std::string& filter);
  // The extension a save proposes: default_ext when given, otherwise that
  // of the filter's first pattern (".jpg" for "*.jpg"); none for a pattern
  // without one, for "*.*" and for wildcards after the dot.
  static std::string proposed_extension(const std::string& default_ext, const std::string& filter);
};

class C_Dialog_dir : public C_Control {
  BREK_CLASS(C_Dialog_dir)
 public:
  std::string caption;
  std::string initial_dir;
  // Selected first; after a confirmed dialog, the chosen directory.
  std::string directory;

  static Ref<C_Dialog_dir> create(const Ref<C_Form>& form, const std::string& name);

  void create_native() override;
  void destroy_hook() override;
  bool is_visual() override { return false; }
  rect get_bounds() override { return rect{}; }

  // true when the user confirmed; the choice is then in directory. false
  // on cancel, and when the form has no window.
  bool execute();
  // The directory the dialog opens in: directory when it exists, else
  // initial_dir when that exists, else "" (the home directory); a folder
  // whose mount does not answer counts as none.
  std::string start_directory() const;
};

// The platform's kinds of drive, in this order.
enum class drive_type : uint8_t { UNKNOWN, NOT_EXIST, REMOVABLE, FIXED, REMOTE, CD_DVD, RAM_DISK };

namespace Drives {

// Drive letters of the system, "A" to "Z" in order. Linux names no drives
// by letter: the text is empty and drives are the mounted volumes.
std::string logical_drives();
// The mount points of the mounted volumes.
DynAStr volume_roots();
// The kind of the volume that holds a path; NOT_EXIST for a path that does
// not exist and for one that is not a full path (a bare drive letter).
brek::drive_type drive_type(const std::string& path);
// The kind of a volume by its file system and mount point.
brek::drive_type type_of_volume(const std::string& file_system, const std::string& root);

}  // namespace Drives

}  // namespace brek
