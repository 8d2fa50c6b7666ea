#include "platform/menu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <memory>

namespace brek_platform {

namespace {

QPointer<QMenu> g_open;
std::function<void()> g_hook;

QString from_utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string to_utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Qt takes every "&" as the mark of a shortcut letter; in the program's
// texts one before a blank (or at the end) is a plain "&", as in "Auto
// paste & save", and is doubled to show as one.
QString caption_text(const std::string& caption) {
  const QString in = from_utf8(caption);
  QString out;
  for (qsizetype i = 0; i < in.size(); ++i) {
    out += in[i];
    if (in[i] != QLatin1Char('&')) continue;
    if (i + 1 < in.size() && in[i + 1] == QLatin1Char('&')) {
      out += in[++i];  // doubled already
    } else if (i + 1 == in.size() || in[i + 1] == QLatin1Char(' ')) {
      out += QLatin1Char('&');
    }
  }
  return out;
}

struct Choice {
  bool made = false;
  int64_t tag = -1;
};

// Builds the menu from the flat list; a parent index that names no earlier
// item that opens a submenu puts the item into the menu itself.
void fill(QMenu* top, const std::vector<Menu_item>& items, Choice* choice) {
  std::vector<QMenu*> submenus(items.size(), nullptr);
  for (size_t i = 0; i < items.size(); ++i) {
    const Menu_item& it = items[i];
    QMenu* menu = top;
    if (it.parent >= 0 && static_cast<size_t>(it.parent) < i && submenus[static_cast<size_t>(it.parent)])
      menu = submenus[static_cast<size_t>(it.parent)];
    if (it.separator && !it.opens_submenu) {
      menu->addSeparator();
      continue;
    }
    // Qt shows what follows a TAB right-aligned, as the shortcut column.
    QString text = caption_text(it.caption);
    if (!it.hot_key.empty()) text += QLatin1Char('\t') + from_utf8(it.hot_key);
    QAction* action;
    if (it.opens_submenu) {
      submenus[i] = menu->addMenu(text);
      action = submenus[i]->menuAction();
    } else {
      action = menu->addAction(text);
      int64_t tag = it.tag;
      // A click and a test's trigger both come here.
      QObject::connect(action, &QAction::triggered, top, [top, choice, tag] {
        choice->made = true;
        choice->tag = tag;
        top->close();
      });
    }
    action->setData(QVariant::fromValue<qlonglong>(it.tag));
    action->setEnabled(it.enabled);
    if (it.checked) {
      action->setCheckable(true);
      action->setChecked(true);
    }
  }
}

// The text as the menu shows it: "&&" is one "&", a single "&" marks the
// shortcut letter and is not shown.
QString shown_text(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != QLatin1Char('&')) {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
      out += QLatin1Char('&');
      ++i;
    }
  }
  return out;
}

void describe(QMenu* menu, std::string& out) {
  bool first = true;
  for (QAction* a : menu->actions()) {
    if (!first) out += "|";
    first = false;
    if (a->isSeparator()) {
      out += "-";
      continue;
    }
    out += to_utf8(shown_text(a->text()));
    if (!a->isEnabled()) out += " [disabled]";
    if (a->isChecked()) out += " [checked]";
    if (QMenu* sub = a->menu()) {
      out += " (";
      describe(sub, out);
      out += ")";
    }
  }
}

QAction* find_tag(QMenu* menu, int64_t tag) {
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    if (QMenu* sub = a->menu()) {
      if (QAction* found = find_tag(sub, tag)) return found;
      continue;
    }
    if (a->data().toLongLong() == tag && a->isEnabled()) return a;
  }
  return nullptr;
}

}  // namespace

void show_popup_menu(const std::vector<Menu_item>& items, int32_t x, int32_t y,
                     std::function<void(int64_t tag)> chosen) {
  if (items.empty() || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  if (g_open) g_open->close();  // its own loop ends without a choice

  auto menu = std::make_unique<QMenu>();
  Choice choice;
  fill(menu.get(), items, &choice);
  g_open = menu.get();
  if (g_hook) {
    std::function<void()> hook = g_hook;
    QTimer::singleShot(0, menu.get(), [hook] {
      try {
        hook();
      } catch (...) {
      }
    });
  }
  menu->exec(QPoint(x, y));
  menu.reset();

  if (!choice.made || !chosen) return;
  int64_t tag = choice.tag;
  QTimer::singleShot(0, QCoreApplication::instance(), [chosen, tag] {
    try {
      chosen(tag);
    } catch (...) {
      // nothing crosses into the event loop
    }
  });
}

bool popup_menu_open() { return !g_open.isNull() && g_open->isVisible(); }

void set_popup_menu_hook(std::function<void()> hook) { g_hook = std::move(hook); }

std::string open_popup_menu_text() {
  std::string out;
  if (g_open) describe(g_open.data(), out);
  return out;
}

bool choose_popup_menu_item(int64_t tag) {
  if (!g_open) return false;
  QAction* a = find_tag(g_open.data(), tag);
  if (!a) return false;
  a->trigger();
  return true;
}

void close_popup_menu() {
  if (g_open) g_open->close();
}

}  // namespace brek_platform
