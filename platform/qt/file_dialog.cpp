// The open, save and directory dialogs as Qt's own file dialog widgets
// (never the desktop's native dialog), placed over their form.

#include "platform/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QPointer>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTimer>

#include "platform/qt/keyboard_back.h"
#include "platform/qt/native_form_frame.h"
#include "platform/qt/window_layer.h"

namespace brek_platform {

namespace {

QString qstr(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }

// The folder a dialog opens in, as Qt's dialog takes it: without a
// trailing separator, for with one its name field's completer lists the
// folder above too, asking each of its entries (a mount that does not
// answer among them holds the dialog's listing).
QString folder(const std::string& directory) { return directory.empty() ? QString() : QDir::cleanPath(qstr(directory)); }

// Qt's dialog lists folders on a thread of its own, its model's, which asks
// every entry of a folder; a mount that does not answer holds that thread
// for as long as it hangs, and deleting the model waits for the thread. So
// the model is the dialog's for its life only: once the dialog is gone, the
// model asks for a folder of the kernel's own and goes when that has been
// listed (the thread takes one request after the other), or is left behind
// for good should that never come. Nothing waits for a mount.
void let_model_outlive(QFileDialog* dialog) {
  auto* model = dialog->findChild<QFileSystemModel*>();
  if (!model) return;
  model->setParent(nullptr);
  QObject::connect(dialog, &QObject::destroyed, model, [model] {
    // The dialog's own icons go with it; these stay for any model left.
    static QFileIconProvider* const icons = new QFileIconProvider;
    model->setIconProvider(icons);
    // Later, once the dialog has gone whole: until then it hears of what
    // the model does.
    QTimer::singleShot(0, model, [model] {
      const QString probe = model->rootPath() == "/proc/sys" ? QStringLiteral("/proc") : QStringLiteral("/proc/sys");
      QObject::connect(model, &QFileSystemModel::directoryLoaded, model, [model, probe](const QString& path) {
        if (path == probe) model->deleteLater();
      });
      model->setRootPath(probe);
    });
  });
}

// Moves itself over its form once it knows its own size, kept where the
// program's rule says (on a monitor's work area, cut to it). It opens in
// its folder at once: else it lists the working directory first.
class Placed_file_dialog : public QFileDialog {
 public:
  Placed_file_dialog(QWidget* form, Fit_outer fit, const QString& directory)
      : QFileDialog(form, QString(), directory), form_(form), fit_(std::move(fit)) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    if (!directory.isEmpty()) setDirectory(directory);
    let_model_outlive(this);
  }
  // It hands the keys on before it goes (keyboard_back.h).
  void setVisible(bool visible) override {
    if (!visible && isVisible()) qt::Keyboard_back::before_hide(this);
    QFileDialog::setVisible(visible);
  }

 protected:
  void showEvent(QShowEvent* e) override {
    QFileDialog::showEvent(e);
    if (!form_ || e->spontaneous()) return;
    QRect f = form_->frameGeometry();
    QRect d = frameGeometry();
    Point_pt at = file_dialog_origin(Rect_pt{double(f.x()), double(f.y()), double(f.width()), double(f.height())},
                                     d.width(), d.height());
    move(static_cast<int>(at.x), static_cast<int>(at.y));
    if (!fit_) return;
    const QMargins m = qt::frame_margins(this);
    const QRect outer(QPoint(int(at.x), int(at.y)), size().grownBy(m));
    const Rect_pt r = fit_(Rect_pt{qt::to_pt(outer.x()), qt::to_pt(outer.y()), qt::to_pt(outer.width()),
                                   qt::to_pt(outer.height())});
    const QRect to = QRect(qt::to_px(r.x), qt::to_px(r.y), qt::to_px(r.w), qt::to_px(r.h)).marginsRemoved(m);
    // Its controls make do with the room, as the program's windows do.
    setMinimumSize(minimumSize().boundedTo(to.size()));
    setGeometry(to);
  }

 private:
  QPointer<QWidget> form_;
  Fit_outer fit_;
};

// The form window that holds the dialog holder.
QWidget* holder_form(Native_handle holder) {
  QObject* h = qt::object_of(holder);
  return h ? qobject_cast<QWidget*>(h->parent()) : nullptr;
}

// Runs the dialog; it is gone afterwards, also when its form went meanwhile.
// The names are those the dialog accepted, after asking before replacing
// one: what its views select when it has closed may be more or other files
// (a name typed with a folder elsewhere selects its namesake where the
// dialog opened too, and the views change as their folders are read).
bool run(QPointer<Placed_file_dialog>& dialog, QStringList& chosen) {
  QStringList accepted;
  QObject::connect(dialog.data(), &QFileDialog::filesSelected,
                   [&accepted](const QStringList& files) { accepted = files; });
  qt::skip_taskbar(dialog);
  const int result = dialog->exec();
  if (!dialog) return false;
  delete dialog.data();
  chosen = accepted;
  return result == QDialog::Accepted && !chosen.isEmpty();
}

}  // namespace

Native_handle dialog_holder_create(Native_handle form) {
  QWidget* w = qt::widget_of(form);
  if (!w || qt::kind_of(form) != qt::Native_kind::FORM) return 0;
  auto* holder = new QObject(w);
  return qt::register_object(holder, form);
}

void dialog_holder_destroy(Native_handle holder) {
  if (qt::object_of(holder)) qt::destroy_later(holder);
}

bool run_file_dialog(Native_handle holder, const File_dialog_request& request, std::vector<std::string>& chosen) {
  QWidget* form = holder_form(holder);
  if (!form) return false;
  QPointer<Placed_file_dialog> dialog = new Placed_file_dialog(form, request.fit, folder(request.directory));
  dialog->setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (request.save)
    dialog->setFileMode(QFileDialog::AnyFile);
  else
    dialog->setFileMode(request.multi_select ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (!request.title.empty()) dialog->setWindowTitle(qstr(request.title));
  QStringList filters;
  for (const std::string& f : request.filters) filters << qstr(f);
  if (!filters.isEmpty()) dialog->setNameFilters(filters);
  dialog->setDefaultSuffix(qstr(request.default_suffix));
  if (!request.file_name.empty()) dialog->selectFile(qstr(request.file_name));
  QStringList names;
  if (!run(dialog, names)) return false;
  chosen.clear();
  for (const QString& n : names) chosen.push_back(utf8(n));
  return true;
}

bool run_directory_dialog(Native_handle holder, const Directory_dialog_request& request, std::string& chosen) {
  QWidget* form = holder_form(holder);
  if (!form) return false;
  const QString directory = request.directory.empty() ? QDir::homePath() : folder(request.directory);
  QPointer<Placed_file_dialog> dialog = new Placed_file_dialog(form, request.fit, directory);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly, true);
  if (!request.caption.empty()) dialog->setWindowTitle(qstr(request.caption));
  QStringList names;
  if (!run(dialog, names)) return false;
  chosen = utf8(names.first());
  return true;
}

namespace {

// The desktop's folder of that kind when it exists, else the home
// folder's of that name when it exists, else the home folder.
std::string user_folder(QStandardPaths::StandardLocation location, const QString& name) {
  const QString xdg = QStandardPaths::writableLocation(location);
  if (!xdg.isEmpty() && QFileInfo(xdg).isDir()) return utf8(xdg);
  const QString home = QDir::homePath();
  const QString folder = QDir(home).filePath(name);
  if (QFileInfo(folder).isDir()) return utf8(folder);
  return utf8(home);
}

}  // namespace

std::string pictures_folder() { return user_folder(QStandardPaths::PicturesLocation, QStringLiteral("Pictures")); }

std::string documents_folder() {
  return user_folder(QStandardPaths::DocumentsLocation, QStringLiteral("Documents"));
}

}  // namespace brek_platform
