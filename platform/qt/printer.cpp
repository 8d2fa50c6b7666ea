// Printers over QPrinterInfo, documents over QPdfWriter. A printer object
// keeps its own QPainter, registered as a drawing device under the
// object's handle, so canvases made on the handle draw on the current page
// while a document is open. Every document is a PDF written into a
// temporary file: for the PDF entry beside the target, whose place it
// takes only once it was finished and found whole; for a printer queue in
// the temporary folder, handed to the print system as one job once found
// whole, so that a queue that refuses the job is known
// (platform/print_queue.h) and not taken for success.

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinterInfo>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "platform/file_dialog.h"
#include "platform/print_queue.h"
#include "platform/printer.h"
#include "platform/rename_noreplace.h"
#include "platform/qt/paint_devices.h"

namespace brek_platform {

namespace {

// Resolution of PDF pages: fine enough for pictures and hairlines, small
// enough for pictures shrunk onto a page.
constexpr int PDF_DPI = 300;

// The pages' file. Qt's PDF writer goes on after a failed write and says
// nothing, so its bytes come through here, which keeps the first error,
// and the file is checked whole before anyone gets it.
class Pdf_file final : public QIODevice {
 public:
  explicit Pdf_file(int fd) : fd_(fd) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
  ~Pdf_file() override {
    if (fd_ >= 0) ::close(fd_);
  }
  // Empty when every byte written is on the disk and the document is
  // whole, else why not; closes the file either way.
  std::string finish();

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 length) override;

 private:
  int fd_ = -1;
  qint64 written_ = 0;
  int error_ = 0;  // errno of the first failed write
};

qint64 Pdf_file::writeData(const char* data, qint64 length) {
  if (error_ != 0) return -1;
  qint64 done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd_, data + done, size_t(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : ENOSPC;
      return -1;
    }
    done += n;
  }
  written_ += done;
  return done;
}

std::string Pdf_file::finish() {
  std::string why;
  struct stat st;
  // A PDF ends with its end-of-file marker; the tail of the file is read
  // back to see that the document was finished.
  char tail[32] = {};
  const qint64 n = std::min<qint64>(qint64(sizeof tail), written_);
  if (error_ != 0)
    why = std::strerror(error_);
  else if (::fsync(fd_) != 0)
    why = std::strerror(errno);
  else if (::fstat(fd_, &st) != 0)
    why = std::strerror(errno);
  else if (st.st_size != written_)
    why = "the file is not as long as what was written";
  else if (::pread(fd_, tail, size_t(n), written_ - n) != n ||
           std::string(tail, size_t(n)).find("%%EOF") == std::string::npos)
    why = "the document is incomplete";
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && why.empty()) why = std::strerror(errno);
  return why;
}

struct Printer_object {
  int64_t handle = 0;
  bool pdf = false;
  std::string name;  // the printer when not the PDF entry
  std::string output_file;  // asked for; empty: a new file in the documents folder
  std::string written_file;
  std::string error;
  std::string notice;
  QSizeF next_page;  // points
  QSizeF applied_page;
  // PDF: where the pages go while the document is open, and where they belong.
  QString temp_path;
  QString target_path;
  // A queue's job: its title, copies and paper, handed over with the file.
  Print_job job;
  bool replace_target = false;
  // While a document is open: its file and the writer on it.
  std::unique_ptr<Pdf_file> file;
  std::unique_ptr<QPdfWriter> writer;
  QPainter painter;  // after the writer: ends before it goes
};

std::map<int64_t, std::unique_ptr<Printer_object>>& printers() {
  static auto* p = new std::map<int64_t, std::unique_ptr<Printer_object>>();
  return *p;
}

Printer_object* find(int64_t h) {
  auto it = printers().find(h);
  return it == printers().end() ? nullptr : it->second.get();
}

std::string to_std(const QString& s) { return s.toUtf8().toStdString(); }
QString to_q(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

void choose_default(Printer_object& o) {
  QString def = QPrinterInfo::defaultPrinterName();
  o.pdf = def.isEmpty();
  o.name = o.pdf ? std::string() : to_std(def);
}

// The paper of a page: a portrait size with an orientation, no margins,
// coordinates from the paper's corner.
QPageLayout layout_for(QSizeF points) {
  if (!(points.width() > 0) || !(points.height() > 0) || !qIsFinite(points.width()) || !qIsFinite(points.height()))
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(), QPageLayout::Point);
  bool wide = points.width() > points.height();
  QSizeF portrait = wide ? points.transposed() : points;
  QPageSize size(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
  QPageLayout layout(size, wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(), QPageLayout::Point);
  layout.setMode(QPageLayout::FullPageMode);
  return layout;
}

void apply_page(Printer_object& o) {
  o.writer->setPageLayout(layout_for(o.next_page));
  o.applied_page = o.next_page;
}

// The longest name the folder takes, in bytes.
int name_max(const QString& folder) {
  const long n = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
  return n > 0 && n < 4096 ? int(n) : 255;
}

// `base` cut, between characters, so that base + tail is a name of at most
// `max` bytes.
QString fitted(QString base, const QString& tail, int max) {
  while (!base.isEmpty() && QFile::encodeName(base + tail).size() > max) {
    base.chop(1);
    if (!base.isEmpty() && base.back().isHighSurrogate()) base.chop(1);
  }
  return base + tail;
}

QString safe_file_name(const std::string& title) {
  QString name = to_q(title).trimmed();
  name.replace(QLatin1Char('/'), QLatin1Char('-'));
  name.remove(QChar(0));
  if (name.isEmpty() || name.startsWith(QLatin1Char('.'))) name.prepend(QStringLiteral("Document"));
  return name;
}

// A new temporary file from a mkstemp template with `suffix` at its end;
// the pages' file on it, or nullptr (`why` then tells).
std::unique_ptr<Pdf_file> new_temp(const QString& templ, int suffix, QString& path, std::string& why) {
  QByteArray name = QFile::encodeName(templ);
  // Opened for reading and writing: the end is read back.
  const int fd = ::mkostemps(name.data(), suffix, O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return nullptr;
  }
  path = QFile::decodeName(name);
  return std::make_unique<Pdf_file>(fd);
}

// The target and a temporary file beside it for the pages.
bool open_pdf_file(Printer_object& o, const std::string& title) {
  o.replace_target = !o.output_file.empty();
  // A name made from the title is cut to what a name may be; a chosen one
  // is the user's.
  const QString docs = to_q(documents_folder());
  QString target = o.replace_target
                       ? QFileInfo(to_q(o.output_file)).absoluteFilePath()
                       : QDir(docs).filePath(fitted(safe_file_name(title), QStringLiteral(".pdf"), name_max(docs)));
  QFileInfo info(target);
  // A link stays a link, and so does every link of a chain: the file at
  // its end is what gets replaced (a loop ends where it began).
  for (int links = 0; o.replace_target && info.isSymLink() && links < 40; ++links) {
    target = info.symLinkTarget();
    info = QFileInfo(target);
  }
  if (info.isDir()) {
    o.error = to_std(target) + ": is a folder";
    return false;
  }
  std::string why;
  // Hidden, ours by its start, and short whatever the target's name: a
  // name of the longest kind would leave no room for a temporary's marks.
  const QString temp = fitted(QStringLiteral(".~print-") + info.fileName(), QStringLiteral("-XXXXXX"), 48);
  o.file = new_temp(info.absoluteDir().filePath(temp), 0, o.temp_path, why);
  if (!o.file) {
    o.error = to_std(target) + ": the PDF file cannot be written (" + why + ")";
    return false;
  }
  o.target_path = target;
  return true;
}

// A temporary file for the pages of a queue's job.
bool open_job_file(Printer_object& o) {
  std::string why;
  o.file = new_temp(QDir(QDir::tempPath()).filePath("print-job-XXXXXX.pdf"), 4, o.temp_path, why);
  if (!o.file) {
    o.error = o.name + ": the document cannot be prepared for the printer (" + why + ")";
    return false;
  }
  return true;
}

// The queue's answer before the job: a queue that refuses jobs is told
// now, not after the pages were drawn for nothing.
bool queue_takes_jobs(Printer_object& o) {
  Print_queue_state q = print_queue_state(o.name);
  if (q.accepting) return true;
  o.error = o.name + (q.known ? ": the printer does not accept jobs" : ": the printer cannot be reached");
  if (!q.reason.empty()) o.error += " (" + q.reason + ")";
  return false;
}

// Hands the finished pages to the queue; true only when a job was made.
bool submit_job(Printer_object& o) {
  std::string why;
  bool paused = false;
  if (print_queue_submit(o.name, to_std(o.temp_path), o.job, why, paused) > 0) {
    // A stopped queue takes jobs and keeps them: no paper comes out yet.
    if (paused) o.notice = o.name + ": the printer is paused; the job waits in its queue";
    return true;
  }
  // A server gone meanwhile answers nothing of its own: the library's
  // last words ("Success", "The printer or class does not exist.") are no
  // reason.
  const std::string gone = print_server_out_of_reach();
  o.error = o.name + (gone.empty() ? ": the printer refused the document (" + why + ")" : ": " + gone);
  return false;
}

void drop_temp(Printer_object& o) {
  if (!o.temp_path.isEmpty()) QFile::remove(o.temp_path);
  o.temp_path.clear();
}

// The new name of a file is on the disk once its folder is.
void sync_dir(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// "name.pdf", then "name (2).pdf", "name (3).pdf" ... with the name cut
// where the number would make it too long.
QString numbered(const QString& target, int n) {
  if (n < 2) return target;
  QFileInfo info(target);
  QString base = info.completeBaseName(), suffix = info.suffix();
  QString tail = QStringLiteral(" (%1)").arg(n) + (suffix.isEmpty() ? QString() : "." + suffix);
  return info.absoluteDir().filePath(fitted(base, tail, name_max(info.absolutePath())));
}

// Puts the finished temporary file in place of the target: over it when
// the target was asked for, else under the first free numbered name.
// Empty when it is in place, else why not.
std::string place_pdf(Printer_object& o) {
  QByteArray temp = QFile::encodeName(o.temp_path);
  mode_t mode;
  struct stat st;
  QByteArray target = QFile::encodeName(o.target_path);
  if (o.replace_target && ::stat(target.constData(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::chmod(temp.constData(), mode);
  QString placed;
  if (o.replace_target) {
    if (::rename(temp.constData(), target.constData()) != 0) return std::strerror(errno);
    placed = o.target_path;
  } else {
    for (int n = 1; n < 10000 && placed.isEmpty(); ++n) {
      QString name = numbered(o.target_path, n);
      if (rename_noreplace(temp.toStdString(), QFile::encodeName(name).toStdString()))
        placed = name;
      else if (errno != EEXIST)
        return std::strerror(errno);
    }
    if (placed.isEmpty()) return "no free name for it";
  }
  o.temp_path.clear();
  sync_dir(QFileInfo(placed).absolutePath());
  o.written_file = to_std(placed);
  return {};
}

// The writer and the file go, the writer first: it writes into the file.
void close_document(Printer_object& o) {
  if (o.painter.isActive()) o.painter.end();
  o.writer.reset();
  o.file.reset();
  drop_temp(o);
}

void end_unfinished(Printer_object& o) {
  if (o.writer) close_document(o);
}

// Ends the pages and checks their file; empty when the document is whole
// on the disk, else why not.
std::string finish_document(Printer_object& o) {
  const bool ended = o.painter.isActive() && o.painter.end();
  o.writer.reset();
  std::string why = o.file->finish();
  if (why.empty() && !ended) why = "the document could not be finished";
  return why;
}

}  // namespace

std::vector<std::string> printer_names() {
  std::vector<std::string> names;
  for (const QString& n : QPrinterInfo::availablePrinterNames()) names.push_back(to_std(n));
  names.push_back(PRINT_TO_PDF);
  return names;
}

int64_t printer_create() {
  auto o = std::make_unique<Printer_object>();
  choose_default(*o);
  o->handle = qt::register_device(&o->painter, PDF_DPI, PDF_DPI);
  int64_t h = o->handle;
  printers()[h] = std::move(o);
  return h;
}

void printer_free(int64_t printer) {
  Printer_object* o = find(printer);
  if (!o) return;
  end_unfinished(*o);
  qt::unregister_device(printer);
  printers().erase(printer);
}

bool printer_select(int64_t printer, int64_t index) {
  Printer_object* o = find(printer);
  if (!o) return false;
  if (index < 0) {
    choose_default(*o);
    return true;
  }
  std::vector<std::string> names = printer_names();
  if (uint64_t(index) >= names.size()) return false;
  o->pdf = uint64_t(index) == names.size() - 1;
  o->name = o->pdf ? std::string() : names[size_t(index)];
  return true;
}

std::string printer_name(int64_t printer) {
  Printer_object* o = find(printer);
  if (!o) return {};
  return o->pdf ? std::string(PRINT_TO_PDF) : o->name;
}

void printer_set_output_file(int64_t printer, const std::string& path) {
  if (Printer_object* o = find(printer)) o->output_file = path;
}

std::string printer_written_file(int64_t printer) {
  Printer_object* o = find(printer);
  return o ? o->written_file : std::string();
}

void printer_set_page_size(int64_t printer, double width, double height) {
  if (Printer_object* o = find(printer)) o->next_page = QSizeF(width, height);
}

bool printer_makes_copies(int64_t printer) {
  // The print system makes a queue's copies from the job's "copies".
  Printer_object* o = find(printer);
  return o && !o->pdf;
}

bool printer_begin(int64_t printer, const std::string& title, int copies) {
  Printer_object* o = find(printer);
  if (!o) return false;
  end_unfinished(*o);
  o->error.clear();
  o->notice.clear();
  // The first page's paper is the job's.
  const QSizeF paper = layout_for(o->next_page).fullRectPoints().size();
  o->job = Print_job{title, copies < 1 ? 1 : copies, paper.width(), paper.height()};
  if (!o->pdf) {
    if (QPrinterInfo::printerInfo(to_q(o->name)).isNull()) {
      o->error = o->name + ": the printer is not installed";
      return false;
    }
    if (!queue_takes_jobs(*o)) return false;
  }
  if (!(o->pdf ? open_pdf_file(*o, title) : open_job_file(*o))) return false;
  o->writer = std::make_unique<QPdfWriter>(o->file.get());
  QPdfWriter& w = *o->writer;
  w.setResolution(PDF_DPI);
  w.setTitle(to_q(title));
  apply_page(*o);
  if (!o->painter.begin(&w)) {
    o->error = o->pdf ? to_std(o->target_path) + ": the PDF file cannot be written"
                      : o->name + ": the printer cannot start the document";
    close_document(*o);
    return false;
  }
  if (qt::Paint_device* d = qt::find_device(printer)) {
    d->dpi_x = w.logicalDpiX();
    d->dpi_y = w.logicalDpiY();
  }
  return true;
}

bool printer_new_page(int64_t printer) {
  Printer_object* o = find(printer);
  if (!o || !o->writer || !o->painter.isActive()) return false;
  if (o->next_page != o->applied_page) apply_page(*o);
  return o->writer->newPage();
}

bool printer_end(int64_t printer) {
  Printer_object* o = find(printer);
  if (!o || !o->writer) return false;
  std::string why = finish_document(*o);
  if (o->pdf) {
    if (why.empty()) why = place_pdf(*o);
    if (!why.empty()) o->error = to_std(o->target_path) + ": the PDF file cannot be written (" + why + ")";
  } else if (!why.empty()) {
    o->error = o->name + ": the document could not be prepared for the printer (" + why + ")";
  }
  const bool ok = why.empty() && (o->pdf || submit_job(*o));
  close_document(*o);
  return ok;
}

void printer_abort(int64_t printer) {
  if (Printer_object* o = find(printer)) end_unfinished(*o);
}

std::string printer_error(int64_t printer) {
  Printer_object* o = find(printer);
  return o ? o->error : std::string();
}

std::string printer_notice(int64_t printer) {
  Printer_object* o = find(printer);
  return o ? o->notice : std::string();
}

}  // namespace brek_platform
