#pragma once
// The printer device: one platform printer object, the canvas of its
// pages, and the print job that draws a report on it page by page as one
// document. The platform printer object is made on first need and freed
// with the device.

#include <cstdint>
#include <string>

#include "runtime/dyn_array.h"
#include "runtime/exceptions.h"
#include "runtime/object.h"

namespace brek {

class C_Canvas;
class C_Report;

// The printer or the PDF file refused the document; the message says why.
BREK_EXCEPTION(E_Print_failed, Brek_Exception)

class C_Printer : public Brek_object {
  BREK_CLASS(C_Printer)
 public:
  // Copies of one job are held to 1 .. this many.
  static constexpr int64_t MAX_COPIES = 999;

  int64_t native_printer = 0;  // platform printer handle; 0 until needed
  Ref<C_Canvas> page_canvas;  // canvas of the printer's pages
  Ref<C_Report> printed_report;  // the report of the job in progress
  DynAInt page_list;  // pages of the job in progress, in printing order
  int64_t first_page = 0;  // first page of the range to print
  int64_t page_count = 0;  // pages of the range; 0: up to the report's last

  static Ref<C_Printer> create();
  void destroy_hook() override;

  // The installed printers and "Print to PDF file", joined by CR LF.
  std::string printer_names();
  // Chooses the printer at that position of printer_names (a negative
  // index: the default printer).
  void select_printer(int64_t index);
  std::string printer_name();
  // The file "Print to PDF file" writes (see platform/printer.h for the
  // default), and where the last PDF went.
  void set_output_file(const std::string& file);
  std::string written_file();
  // What the user should know of the last job that went well (a paused
  // queue holds it); empty when nothing.
  std::string notice();
  // The canvas of the printer's pages, in points; None without a printer.
  Ref<C_Canvas> canvas();

  // Prints the report's range of pages as one document with the report's
  // title, `copies` times (made by the printer where it can, else by
  // repeating the pages). False when there was no page to print; raises
  // E_Print_failed when the printer or file refused the document, and
  // passes on an exception of the page drawing, or the Stop of a Cancel in
  // the long-operation window (the tick handlers run before each page),
  // after ending the document unfinished: nothing is written or queued.
  bool print_report(const Ref<C_Report>& report, int64_t copies);
  // Draws entry i of page_list; true when it is the last entry.
  bool print_page(int64_t i);

 private:
  int64_t native();
  // The paper of report page p for the next page begun.
  void set_paper_of(int64_t p);
};

}  // namespace brek
