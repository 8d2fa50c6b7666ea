#include "printing/native_printers.h"

#include <algorithm>

#include "platform/printer.h"

namespace brek {

namespace bp = brek_platform;

int64_t C_NATIVE_Printers::new_printer() { return bp::printer_create(); }

std::string C_NATIVE_Printers::printer_names(int64_t handle) {
  if (handle == 0) return {};
  std::string joined;
  for (const std::string& name : bp::printer_names()) {
    if (!joined.empty()) joined += "\r\n";
    joined += name;
  }
  return joined;
}

void C_NATIVE_Printers::set_printer_index(int64_t index, int64_t handle) {
  if (handle != 0) bp::printer_select(handle, index);
}

std::string C_NATIVE_Printers::printer_name(int64_t handle) {
  return handle == 0 ? std::string() : bp::printer_name(handle);
}

void C_NATIVE_Printers::set_page_size(int64_t handle, double width, double height) {
  if (handle != 0) bp::printer_set_page_size(handle, width, height);
}

bool C_NATIVE_Printers::begin_doc(int64_t handle, const std::string& title, int64_t copies) {
  if (handle == 0) return false;
  return bp::printer_begin(handle, title, int(std::clamp<int64_t>(copies, 1, 9999)));
}

void C_NATIVE_Printers::new_page(int64_t handle) {
  if (handle != 0) bp::printer_new_page(handle);
}

bool C_NATIVE_Printers::end_doc(int64_t handle) { return handle != 0 && bp::printer_end(handle); }

void C_NATIVE_Printers::abort_doc(int64_t handle) {
  if (handle != 0) bp::printer_abort(handle);
}

bool C_NATIVE_Printers::driver_does_copies(int64_t handle) { return handle != 0 && bp::printer_makes_copies(handle); }

void C_NATIVE_Printers::set_output_file(int64_t handle, const std::string& file) {
  if (handle != 0) bp::printer_set_output_file(handle, file);
}

std::string C_NATIVE_Printers::written_file(int64_t handle) {
  return handle == 0 ? std::string() : bp::printer_written_file(handle);
}

std::string C_NATIVE_Printers::last_error(int64_t handle) {
  return handle == 0 ? std::string() : bp::printer_error(handle);
}

std::string C_NATIVE_Printers::notice(int64_t handle) {
  return handle == 0 ? std::string() : bp::printer_notice(handle);
}

void C_NATIVE_Printers::release(int64_t canvas_handle, int64_t printer_handle) {
  (void)canvas_handle;
  if (printer_handle != 0) bp::printer_free(printer_handle);
}

}  // namespace brek
