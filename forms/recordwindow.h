#pragma once

// The size both record windows open with, in twips: the client area, the
// top bar with the record commands and the bottom bar with the chrome.
//
//   forms::sizeRecordWindow(this, ctbBar, ctbBar2);  // once the menus are built

class QEvent;
class QMainWindow;
class QWidget;

namespace ondrel::db {
class DataControl;
class RecordsetModel;
}  // namespace ondrel::db

namespace ondrel::forms {

inline constexpr int kClientWidth = 8700;
inline constexpr int kClientHeight = 6555;
inline constexpr int kBarHeight = 780;
inline constexpr int kBar2Height = 420;

// Gives the window its opening client size with the menu bar on top of it,
// the smallest size in which every caption is still legible, and, until the
// first resize lays them out, the bars at the top and the bottom of the
// client area, full width.
void sizeRecordWindow(QMainWindow* window, QWidget* bar, QWidget* bar2);

// Whether an event tells that the window came back from the minimised
// state: then it lays itself out again.
bool restoredFromMinimised(const QWidget* window, const QEvent* event);

// Shows the window in front of the others, with the focus.
void bringToFront(QWidget* window);

// Deletes a window's grid model and bound sources, before the widgets they
// fill go with the window, and clears the handles.
void deleteBoundSources(db::RecordsetModel*& grid, db::DataControl*& data1, db::DataControl*& data2);

}  // namespace ondrel::forms
