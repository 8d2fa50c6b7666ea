#include "platform/clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QUrl>

#include <map>

namespace brek_platform {

namespace {
QClipboard* board() {
  if (!QGuiApplication::instance()) return nullptr;
  return QGuiApplication::clipboard();
}

QString from_utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string to_utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Registered format names and their MIME types (main thread only).
std::map<std::string, std::string>& formats() {
  static std::map<std::string, std::string> f;
  return f;
}
}  // namespace

bool clipboard_set_text(const std::string& text) {
  QClipboard* cb = board();
  if (!cb) return false;
  if (text.empty()) {
    cb->clear();
    return true;
  }
  cb->setText(from_utf8(text));
  return true;
}

bool clipboard_set_files(const std::vector<std::string>& paths, bool cut) {
  QClipboard* cb = board();
  if (!cb) return false;
  if (paths.empty()) {
    cb->clear();
    return true;
  }
  QList<QUrl> urls;
  QByteArray gnome = cut ? "cut" : "copy";
  for (const std::string& p : paths) {
    // Names are taken as they are: a relative one is made absolute, nothing
    // else is resolved (a link stays the link the user chose).
    QString abs = QDir::cleanPath(QDir::current().absoluteFilePath(QFile::decodeName(p.c_str())));
    QUrl url = QUrl::fromLocalFile(abs);
    urls.append(url);
    gnome += '\n';
    gnome += url.toEncoded();
  }
  auto* mime = new QMimeData();
  mime->setUrls(urls);  // text/uri-list
  mime->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
  cb->setMimeData(mime);  // the clipboard takes ownership
  return true;
}

void clipboard_clear() {
  if (QClipboard* cb = board()) cb->clear();
}

std::string clipboard_text() {
  QClipboard* cb = board();
  if (!cb) return {};
  return to_utf8(cb->text());
}

std::vector<std::string> clipboard_formats() {
  std::vector<std::string> out;
  QClipboard* cb = board();
  if (!cb) return out;
  const QMimeData* mime = cb->mimeData();
  if (!mime) return out;
  for (const QString& f : mime->formats()) out.push_back(to_utf8(f));
  return out;
}

std::string clipboard_data(const std::string& format) {
  QClipboard* cb = board();
  if (!cb) return {};
  const QMimeData* mime = cb->mimeData();
  if (!mime) return {};
  QByteArray bytes = mime->data(from_utf8(format));
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::vector<std::string> clipboard_files() {
  std::vector<std::string> out;
  QClipboard* cb = board();
  if (!cb) return out;
  const QMimeData* mime = cb->mimeData();
  if (!mime || !mime->hasUrls()) return out;
  for (const QUrl& u : mime->urls())
    if (u.isLocalFile()) out.push_back(QFile::encodeName(u.toLocalFile()).toStdString());
  return out;
}

bool clipboard_register_format(const std::string& name, const std::string& mime_type) {
  if (name.empty() || mime_type.empty()) return false;
  formats()[name] = mime_type;
  return true;
}

void clipboard_unregister_format(const std::string& name) { formats().erase(name); }

std::string clipboard_format_type(const std::string& name) {
  auto it = formats().find(name);
  return it == formats().end() ? std::string() : it->second;
}

bool clipboard_set_format_data(const std::string& name, const std::string& bytes) {
  const std::string type = clipboard_format_type(name);
  QClipboard* cb = board();
  if (type.empty() || !cb) return false;
  auto* mime = new QMimeData();
  mime->setData(from_utf8(type), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  cb->setMimeData(mime);  // the clipboard takes ownership
  return true;
}

bool clipboard_has_format(const std::string& name) {
  const std::string type = clipboard_format_type(name);
  QClipboard* cb = board();
  if (type.empty() || !cb) return false;
  const QMimeData* mime = cb->mimeData();
  return mime && mime->hasFormat(from_utf8(type));
}

std::string clipboard_format_data(const std::string& name) {
  const std::string type = clipboard_format_type(name);
  return type.empty() ? std::string() : clipboard_data(type);
}

}  // namespace brek_platform
