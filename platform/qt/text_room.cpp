#include "platform/qt/text_room.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace brek_platform::qt {

namespace {

// A line edit keeps 2 pixels a side inside its contents, 1 for the cursor,
// and room for the glyphs that reach out of their advance.
int line_edit_room(const QLineEdit* e, int contents_width) {
  const QFontMetrics fm(e->font());
  const QMargins tm = e->textMargins();
  const int overhang = std::max(0, -fm.minLeftBearing()) + std::max(0, -fm.minRightBearing());
  return contents_width - tm.left() - tm.right() - 2 * 2 - 1 - overhang;
}

QStyleOptionFrame line_edit_option(const QLineEdit* e, const QRect& rect) {
  QStyleOptionFrame o;
  o.initFrom(e);
  o.rect = rect;
  o.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, e) : 0;
  o.midLineWidth = 0;
  o.state |= QStyle::State_Sunken;
  return o;
}

int edit_room(const QLineEdit* e) {
  const QStyleOptionFrame o = line_edit_option(e, e->rect());
  return line_edit_room(e, e->style()->subElementRect(QStyle::SE_LineEditContents, &o, e).width());
}

// An editable box shows its text in a frameless line edit over its edit
// field; another shows it in the field itself.
int combo_room(const QComboBox* b) {
  QStyleOptionComboBox o;
  o.initFrom(b);
  o.editable = b->isEditable();
  o.frame = b->hasFrame();
  const QRect field = b->style()->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, b);
  if (const QLineEdit* e = b->lineEdit()) {
    const QStyleOptionFrame eo = line_edit_option(e, QRect(QPoint(), field.size()));
    return line_edit_room(e, e->style()->subElementRect(QStyle::SE_LineEditContents, &eo, e).width());
  }
  return field.width();
}

// Buttons and check boxes: their width less what their style adds to a
// caption of no width (without a text, as a style gives buttons with one a
// least width).
int button_room(const QAbstractButton* b, QStyle::ContentsType type) {
  QStyleOptionButton o;
  o.initFrom(b);
  const QSize chrome = b->style()->sizeFromContents(type, &o, QSize(0, b->fontMetrics().height()), b);
  return b->width() - chrome.width();
}

// The vertical scroll bar takes its part of the width once the text is
// taller than the memo, whether the memo is shown yet or not (hidden, its
// bar is not laid out).
int memo_room(const QPlainTextEdit* m) {
  const QRect inside = m->contentsRect();
  const int margins = 2 * int(m->document()->documentMargin());
  int room = inside.width() - margins - m->cursorWidth();
  const QScrollBar* bar = m->verticalScrollBar();
  if (bar && bar->isVisible()) {
    room -= bar->width();
  } else if (bar && m->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff) {
    const qint64 text_height = qint64(m->document()->blockCount()) * m->fontMetrics().lineSpacing();
    if (m->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn || text_height > inside.height() - margins)
      room -= m->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar);
  }
  return room;
}

}  // namespace

int text_room(const QWidget* w) {
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return edit_room(e);
  if (auto* b = qobject_cast<const QComboBox*>(w)) return combo_room(b);
  if (auto* c = qobject_cast<const QCheckBox*>(w)) return button_room(c, QStyle::CT_CheckBox);
  if (auto* p = qobject_cast<const QPushButton*>(w)) return button_room(p, QStyle::CT_PushButton);
  if (auto* m = qobject_cast<const QPlainTextEdit*>(w)) return memo_room(m);
  if (auto* l = qobject_cast<const QLabel*>(w)) return l->contentsRect().width();
  return w ? w->width() : 0;
}

void fit_list_to_items(QComboBox* box) {
  QAbstractItemView* view = box->view();
  if (!view) return;
  int need = view->sizeHintForColumn(0) + 2 * view->frameWidth();
  if (box->count() > box->maxVisibleItems()) need += view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
  view->setMinimumWidth(need);
}

}  // namespace brek_platform::qt
