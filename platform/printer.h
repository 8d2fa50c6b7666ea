#pragma once
// Printers: the installed ones by name, and "Print to PDF file", which
// writes the document as a PDF file and is there on every machine. A
// printer object is named by a handle that is also a device handle of the
// drawing layer (platform/painter.h): a canvas made on it draws on the
// current page while a document is open, and draws nothing otherwise.
// No Qt types; platform/qt/printer.cpp implements it.
//
// A document is first a temporary PDF beside its target (a queue's in the
// temporary folder), its bytes written through a device of our own
// (Pdf_file), since Qt's PDF writer goes on after a failed write and says
// nothing; names are fitted within the folder's NAME_MAX.

#include <cstdint>
#include <string>
#include <vector>

namespace brek_platform {

// The name of the PDF entry, always the last of printer_names().
inline constexpr const char* PRINT_TO_PDF = "Print to PDF file";

// The installed printers in the platform's order, then PRINT_TO_PDF.
std::vector<std::string> printer_names();

// A printer object on the default printer (the PDF entry when no printer
// is installed). The handle is never 0.
int64_t printer_create();
// Ends an open document unfinished and frees the object.
void printer_free(int64_t printer);

// Chooses entry `index` of printer_names(); a negative index chooses the
// default printer. False (and nothing changes) for an index past the end
// or an unknown handle.
bool printer_select(int64_t printer, int64_t index);
// The name of the chosen printer (PRINT_TO_PDF for the PDF entry).
std::string printer_name(int64_t printer);

// The file the PDF entry writes. Without one, the next document goes to a
// new file named after its title in the user's documents folder (never
// over an existing file).
void printer_set_output_file(int64_t printer, const std::string& path);
// The file the last finished PDF document was written to; empty when none.
std::string printer_written_file(int64_t printer);

// The paper of the next page begun (printer_begin or printer_new_page), in
// points; sizes that are not positive give A4. Coordinates on a page start
// at the paper's corner.
void printer_set_page_size(int64_t printer, double width, double height);

// Whether the chosen printer makes the copies of a document itself; when
// it does not, the program repeats the pages.
bool printer_makes_copies(int64_t printer);

// Opens a document with its title and number of copies on the first page;
// the paper set for the first page is the paper of a queue's job.
// False when the printer or the file cannot take it (printer_error tells).
bool printer_begin(int64_t printer, const std::string& title, int copies);
// Ends the page and begins the next one.
bool printer_new_page(int64_t printer);
// Ends the document. Its PDF is first found whole on the disk (every write,
// fsync, the length, the end marker); then the job goes to the printer's
// queue with its paper, or the PDF file is put in place. False when any of
// it failed (printer_error tells why, as the system said it); nothing is
// left behind then.
bool printer_end(int64_t printer);
// Ends an open document unfinished: the job is cancelled, no PDF file is
// left behind.
void printer_abort(int64_t printer);
// What went wrong last, for a message to the user.
std::string printer_error(int64_t printer);
// What the user should know of the last document that went well (a queue
// that holds its jobs); empty when nothing.
std::string printer_notice(int64_t printer);

}  // namespace brek_platform
