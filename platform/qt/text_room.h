#pragma once
// How much of a standard control's width is there for its text: what its
// style leaves inside the frame, the arrow, the check box and the margins.
// The forms side sizes controls to their texts with it.

class QComboBox;
class QWidget;

namespace brek_platform::qt {

// Pixels of the widget's present width its text can take; the whole width
// for a widget of another kind.
int text_room(const QWidget* w);
// Makes a combo box's list at least as wide as its items need, so that no
// item is cut short in it, whatever the box's own width.
void fit_list_to_items(QComboBox* box);

}  // namespace brek_platform::qt
