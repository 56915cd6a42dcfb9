#pragma once

// The size both record windows open with, in twips: the client area, the
// top bar with the record commands and the bottom bar with the chrome.
//
//   forms::sizeRecordWindow(this, ctbBar, ctbBar2);  // once the menus are built

class QMainWindow;
class QWidget;

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

}  // namespace ondrel::forms
