#pragma once
// The platform's open, save and directory dialogs. No Qt types here;
// platform/qt/file_dialog.cpp builds them. The dialogs are the platform
// library's own widgets, never the desktop's native ones, so that they
// behave the same everywhere and tests can answer them
// (platform/test_events.h). A dialog gives the files it accepted, never
// what its views select once it closed (a name typed with a folder
// elsewhere selects its namesake where the dialog opened too).
//
// A dialog lists only the folder it shows, on a thread of its own, and
// closes without waiting for that listing: a mount in that folder that
// does not answer holds the listing, not the dialog. The mounted volumes
// are platform/mount_table.h's.

#include <functional>
#include <string>
#include <vector>

#include "platform/native_forms.h"

namespace brek_platform {

// What owns a form's file or directory dialog: nothing visible, it goes
// with the form. 0 when the form has no window.
Native_handle dialog_holder_create(Native_handle form);
void dialog_holder_destroy(Native_handle holder);

// Where a dialog window goes and how large it is, given the outer rectangle
// it would have (points, frame included): the program's rule keeps it on
// a monitor's work area. Empty: as the dialog places itself.
using Fit_outer = std::function<Rect_pt(const Rect_pt&)>;

struct File_dialog_request {
  bool save = false;
  std::string title;
  std::string directory;             // shown first; empty: the current one
  std::vector<std::string> filters;  // "Description (*.jpg *.jpeg)", first chosen
  std::string default_suffix;        // added to a typed name without one; no dot
  std::string file_name;             // proposed name
  bool multi_select = false;         // open dialogs only
  Fit_outer fit;
};

// Runs the dialog modally over the holder's form. true when the user
// confirmed; the chosen files (full paths) are then in chosen. A save
// dialog asks before it lets an existing file be chosen.
bool run_file_dialog(Native_handle holder, const File_dialog_request& request, std::vector<std::string>& chosen);

struct Directory_dialog_request {
  std::string caption;
  std::string directory;  // shown first; empty: the home directory
  Fit_outer fit;
};

// Runs a dialog that chooses a directory; true when confirmed, the full
// path then in chosen.
bool run_directory_dialog(Native_handle holder, const Directory_dialog_request& request, std::string& chosen);

// Where a dialog window of width x height goes over a form's window (all
// in pixels): centred, halves rounded toward zero, but at least 20 pixels
// in from the form's left and top edges.
inline Point_pt file_dialog_origin(const Rect_pt& form, double width, double height) {
  auto half = [](double a, double b) {
    double d = a - b;
    if (!(d > -1e15 && d < 1e15)) return 0.0;  // NaN and the absurd never reach a cast
    return static_cast<double>(static_cast<int64_t>(d) / 2);
  };
  double x = form.x + half(form.w, width);
  double y = form.y + half(form.h, height);
  if (!(x >= form.x + 20)) x = form.x + 20;
  if (!(y >= form.y + 20)) y = form.y + 20;
  return {x, y};
}

// The user's pictures folder: the desktop's (XDG_PICTURES_DIR) when it
// exists, else ~/Pictures when it exists, else the home folder.
std::string pictures_folder();
// The user's documents folder, likewise: XDG_DOCUMENTS_DIR, ~/Documents,
// the home folder.
std::string documents_folder();

}  // namespace brek_platform
