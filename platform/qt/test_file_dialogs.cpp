// Test answers for the file and directory dialogs: the names are typed into
// the dialog's name field and confirmed, as a user would.

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <deque>

#include "platform/application.h"
#include "platform/qt/test_pending.h"
#include "platform/test_events.h"

namespace brek_platform::test_events {

namespace {

struct Answer {
  bool accept = false;
  std::vector<std::string> names;
  File_dialog_seen* seen = nullptr;
};

void poll();

struct Answers : QObject {
  explicit Answers(QObject* owner) : QObject(owner), timer(new QTimer(this)) {}
  std::deque<Answer> queue;
  QTimer* timer;
  bool busy = false;  // a confirmation may open a question and loop meanwhile
};

// Goes with the test's other waiting work (forget_pending).
Answers& answers() {
  static QPointer<Answers> a;
  if (!a) {
    a = new Answers(qt::test_pending());
    a->timer->setInterval(5);
    QObject::connect(a->timer, &QTimer::timeout, [] { poll(); });
  }
  return *a;
}

QString qstr(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }

void note(QFileDialog* d, File_dialog_seen& seen) {
  seen.save = d->acceptMode() == QFileDialog::AcceptSave;
  seen.directories = d->fileMode() == QFileDialog::Directory;
  seen.multi_select = d->fileMode() == QFileDialog::ExistingFiles;
  seen.own_widgets = d->testOption(QFileDialog::DontUseNativeDialog);
  seen.confirms_overwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
  seen.title = utf8(d->windowTitle());
  seen.directory = utf8(d->directory().absolutePath());
  seen.filters.clear();
  for (const QString& f : d->nameFilters()) seen.filters.push_back(utf8(f));
  seen.default_suffix = utf8(d->defaultSuffix());
  auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  seen.proposed = edit ? utf8(edit->text()) : std::string();
  QRect r = d->frameGeometry();
  seen.place = Rect_pt{double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

void answer(QFileDialog* d, const Answer& a) {
  if (a.seen) note(d, *a.seen);
  if (!a.accept) {
    d->reject();
    return;
  }
  // What the views select counts before what is typed: start from nothing.
  for (auto* view : d->findChildren<QAbstractItemView*>())
    if (view->selectionModel()) view->selectionModel()->clearSelection();
  QString text;
  if (a.names.size() == 1) {
    text = qstr(a.names.front());
  } else {
    for (const std::string& n : a.names) text += QLatin1Char('"') + qstr(n) + QStringLiteral("\" ");
  }
  if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(text.trimmed());
  static_cast<QDialog*>(d)->accept();  // the dialog's own checks run
}

void poll() {
  Answers& s = answers();
  if (s.busy || s.queue.empty()) return;
  auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
  if (!d || !d->isVisible()) return;
  Answer a = s.queue.front();
  s.queue.pop_front();
  if (s.queue.empty()) s.timer->stop();
  s.busy = true;
  answer(d, a);
  s.busy = false;
}

}  // namespace

void answer_next_file_dialog(bool accept, const std::vector<std::string>& names, File_dialog_seen* seen) {
  if (!application_exists()) return;
  Answers& s = answers();
  s.queue.push_back(Answer{accept, names, seen});
  s.timer->start();
}

}  // namespace brek_platform::test_events
