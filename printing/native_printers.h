#pragma once
// The operations on one platform printer object, named by its handle (the
// platform layer's, platform/printer.h). The handle is also the device a
// canvas made with C_Canvas::create_on_printer draws on while a document
// is open. Handle 0 names nothing: reads give 0, false or "", the rest
// does nothing.

#include <cstdint>
#include <string>

#include "runtime/object.h"

namespace brek {

class C_NATIVE_Printers : public Brek_object {
  BREK_CLASS(C_NATIVE_Printers)
 public:
  // A new printer object on the default printer.
  static int64_t new_printer();
  // The installed printers and "Print to PDF file" (last), joined by CR LF.
  static std::string printer_names(int64_t handle);
  // Chooses the printer at that position of printer_names; a negative
  // index chooses the default printer; an index past the end changes
  // nothing.
  static void set_printer_index(int64_t index, int64_t handle);
  // The name of the chosen printer.
  static std::string printer_name(int64_t handle);
  // The paper of the next page begun, in points (portrait or landscape as
  // given).
  static void set_page_size(int64_t handle, double width, double height);
  // Opens the document; false when the printer or file refused it.
  static bool begin_doc(int64_t handle, const std::string& title, int64_t copies);
  static void new_page(int64_t handle);
  // Ends the document; false when the printer or file did not take it.
  static bool end_doc(int64_t handle);
  // Ends an open document unfinished (no PDF file is left behind).
  static void abort_doc(int64_t handle);
  // Whether the chosen printer makes the copies itself (the PDF entry does
  // not).
  static bool driver_does_copies(int64_t handle);
  // The PDF entry's file, and where the last PDF document went.
  static void set_output_file(int64_t handle, const std::string& file);
  static std::string written_file(int64_t handle);
  // What went wrong last.
  static std::string last_error(int64_t handle);
  // What the user should know of the last document that went well.
  static std::string notice(int64_t handle);
  // Frees the printer object (the canvas keeps no native object here).
  static void release(int64_t canvas_handle, int64_t printer_handle);
};

}  // namespace brek
