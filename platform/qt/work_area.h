#pragma once
// The part of each screen a window manager leaves to windows: Qt gives
// each whole RandR monitor as its available area when there are several,
// so the panels a manager keeps windows off are read from the X server.

#include <QList>
#include <QRect>

class QScreen;

namespace brek_platform::qt {

// The work area of each screen, in Qt's pixels, in the order given. Under
// a window manager on X11: the screen less the panels on it (with one
// screen the manager's _NET_WORKAREA, with several the struts of its dock
// windows that reach into that screen); elsewhere Qt's available area.
QList<QRect> work_areas(const QList<QScreen*>& screens);
// The same for one screen of the desktop (nullptr: the empty rectangle).
QRect work_area(QScreen* screen);

}  // namespace brek_platform::qt
