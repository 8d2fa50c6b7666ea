#pragma once
// A form's window and the window manager around it on X11. A manager
// frames, places, maximizes and restores windows on its own time, after
// the request returned: these helpers tell the frame it gives (also before
// the window is shown) and wait for it to carry out a change, so that the
// program sees each change done, as it does where the platform changes
// windows at once. Without X11 or without a manager they answer at once.
//
// A frame comes from _NET_FRAME_EXTENTS; before the window shows it is the
// manager's estimate, asked about a stand-in window of the same type and
// decorations, since a manager may answer with where it would put the
// window, which reaching the real one after the program placed it would
// pass for its place; where it gives none, the frame it gives another
// program's window of the type stands in until it framed this one. Moves set the window's own rectangle (static
// gravity). Full screen is _NET_WM_STATE_FULLSCREEN through Qt's window
// state; the frame is never switched off under a manager, so the window
// is never unmapped and placed anew.

#include <QMargins>
#include <QWidget>

#include <functional>

namespace brek_platform::qt {

// Whether a window manager runs on the X server the program uses.
bool window_manager_runs();

// What the window manager adds around the window on each side, in the
// widget's pixels: its frame while it is managed, the manager's estimate
// for a window not shown yet, nothing for a window without a frame or
// without a manager.
QMargins frame_margins(QWidget* w);

// Whether frame_margins tells the frame the window has or will get: not
// for a window not shown yet whose manager gives no estimate.
bool frame_known(QWidget* w);

// After show() of a window that was hidden: returns once the manager has
// mapped it, or handled the map without mapping it.
void await_mapped(QWidget* w);
// The same, until the manager has also written the frame it gave, where
// it frames windows as it maps them: one that once mapped a window
// without a frame is not waited for again (it frames late or never).
// Waits are bounded: a manager that once let a second pass without
// answering is not waited on again in the run.
void await_framed(QWidget* w);
// Before show() of a window that was hidden: returns once the manager has
// let it go (ICCCM's withdrawal), as a window mapped again while the
// manager still holds it may be left off the screen (icewm).
void await_withdrawn(QWidget* w);
// The window asks for no taskbar button of its own
// (_NET_WM_STATE_SKIP_TASKBAR, which openbox, icewm and fluxbox honour;
// icewm and fluxbox give a dialog one otherwise): set on the window before
// it maps (a manager drops it as the window goes), asked of the manager
// while it shows.
void skip_taskbar(QWidget* w);
// Calls `framed`, from the event loop, with each top-level widget whose
// frame the manager writes (also late, after show() returned).
void watch_frames(std::function<void(QWidget*)> framed);

// Whether a manager runs and has the window on the screen.
bool managed_by_window_manager(QWidget* w);

// Whether the manager keeps the shown window maximized (either way).
bool maximized_by_manager(QWidget* w);
// After a maximize or restore request for a shown window that changes its
// state: returns once the manager has carried it out and its new size has
// reached the window.
void await_window_state(QWidget* w, bool maximized);

// Whether a manager runs that shows windows full screen on request (it
// lists the state among those it supports).
bool manager_shows_full_screen();
// Whether the manager keeps the shown window full screen.
bool full_screen_by_manager(QWidget* w);
// After a request to show the window full screen or to leave it: returns
// once the manager has carried it out and the new size reached the window.
void await_full_screen(QWidget* w, bool on);

}  // namespace brek_platform::qt
