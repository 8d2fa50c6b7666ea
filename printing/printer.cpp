#include "printing/printer.h"

#include <algorithm>
#include <utility>

#include "drawing/canvas.h"
#include "printing/native_printers.h"
#include "printing/report.h"
#include "runtime/runtime_services.h"

namespace brek {

Ref<C_Printer> C_Printer::create() { return make<C_Printer>(); }

void C_Printer::destroy_hook() {
  C_NATIVE_Printers::release(0, native_printer);
  native_printer = 0;
  page_canvas.reset();
  printed_report.reset();
  page_list.clear();
  Brek_object::destroy_hook();
}

int64_t C_Printer::native() {
  if (is_none()) return 0;
  if (native_printer == 0) native_printer = C_NATIVE_Printers::new_printer();
  return native_printer;
}

std::string C_Printer::printer_names() { return C_NATIVE_Printers::printer_names(native()); }

void C_Printer::select_printer(int64_t index) { C_NATIVE_Printers::set_printer_index(index, native()); }

std::string C_Printer::printer_name() { return C_NATIVE_Printers::printer_name(native()); }

void C_Printer::set_output_file(const std::string& file) { C_NATIVE_Printers::set_output_file(native(), file); }

std::string C_Printer::written_file() { return C_NATIVE_Printers::written_file(native()); }

std::string C_Printer::notice() { return C_NATIVE_Printers::notice(native()); }

Ref<C_Canvas> C_Printer::canvas() {
  if (is_none()) return Ref<C_Canvas>();
  if (page_canvas.is_none() && !printer_names().empty()) page_canvas = C_Canvas::create_on_printer(native());
  return page_canvas;
}

void C_Printer::set_paper_of(int64_t p) {
  // Device pages are portrait unless the report draws landscape pages
  // unturned.
  page_attributes rec = printed_report->page_record(p);
  double w = rec.width, h = rec.height;
  if (rec.landscape && printed_report->no_turn) std::swap(w, h);
  C_NATIVE_Printers::set_page_size(native(), w, h);
}

bool C_Printer::print_report(const Ref<C_Report>& report, int64_t copies) {
  if (is_none() || report.is_none()) return false;
  page_list.clear();
  Ref<C_Report> saved = printed_report;
  printed_report = report;
  auto restore = [&] {
    printed_report = saved;
    report->set_canvas(Ref<C_Canvas>());
  };

  report->set_canvas(canvas());
  Ref<C_Canvas> c = canvas();
  c->brush_color = COLOR_WHITE;
  c->pen_color = COLOR_BLACK;

  // The range, held to the report's pages.
  int64_t count = report->page_count();
  int64_t from = std::max<int64_t>(0, first_page);
  int64_t to = count;
  if (page_count > 0 && page_count < count - from) to = from + page_count;
  for (int64_t p = from; p < to; ++p) page_list.append(p);
  if (page_list.empty()) {
    restore();
    return false;
  }

  copies = std::clamp<int64_t>(copies, 1, MAX_COPIES);
  int64_t h = native();
  bool driver = C_NATIVE_Printers::driver_does_copies(h);
  int64_t passes = driver ? 1 : copies;
  set_paper_of(page_list.get(0));
  if (!C_NATIVE_Printers::begin_doc(h, report->title, driver ? copies : 1)) {
    std::string why = C_NATIVE_Printers::last_error(h);
    restore();
    throw E_Print_failed(why.empty() ? "The document could not be printed" : why);
  }
  try {
    bool first = true;
    for (int64_t pass = 0; pass < passes; ++pass) {
      for (int64_t i = 0; i < page_list.count(); ++i) {
        // Each page is a step of long work: the tick handlers run, so the
        // long-operation window shows after two seconds and its Cancel
        // stops the job here.
        Brek_runtime::run_handlers();
        // Every page after the document's first starts a new one, also
        // where a repeated copy begins.
        if (!first) {
          set_paper_of(page_list.get(i));
          C_NATIVE_Printers::new_page(h);
        }
        first = false;
        print_page(i);
      }
    }
  } catch (...) {
    C_NATIVE_Printers::abort_doc(h);
    restore();
    throw;
  }
  bool ended = C_NATIVE_Printers::end_doc(h);
  std::string why = C_NATIVE_Printers::last_error(h);
  restore();
  if (!ended) throw E_Print_failed(why.empty() ? "The document could not be printed" : why);
  return true;
}

bool C_Printer::print_page(int64_t i) {
  if (is_none()) return true;
  Ref<C_Report> r = printed_report;
  r->set_canvas(canvas());
  // The page's own record gives its size and orientation.
  r->draw_page(page_list.get(i));
  return i == page_list.count() - 1;
}

}  // namespace brek
