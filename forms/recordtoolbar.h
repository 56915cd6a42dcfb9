#pragma once

// The toolbar arithmetic of the record windows (their Controles), in twips:
// the record buttons packed from the first one's left and as high as the bar
// allows, the logo square flush right in the top bar, and the close button at
// the right end of the second bar.
//
//   const std::array<QWidget*, 5> buttons = {cmdNovo, cmdSalvar, cmdEditar, cmdExcluir, cmdCancelar};
//   platform::layOutRecordToolbar({ctbBar, ctbBar2, buttons, Image2, ClarkTBButton2[1]}, Precision::Single);

#include <span>
#include <vector>

class QLabel;
class QWidget;

namespace ondrel::platform {

class ToolbarBar;
class ToolbarButton;

// The precision of the divisions before they are rounded to whole twips. The
// two give different twips only where the exact quotient is a half (a bar 69
// twips high: 62 in double, 63 in single precision).
enum class Precision { Single, Double };

// The record buttons' width and the first one's left, in twips, at the
// size the window opens with: room for the widest caption a record button shows
// ("Emprestar !?") in the window font.
inline constexpr int kRecordButtonWidth = 1110;
inline constexpr int kRecordButtonsLeft = 60;

// Height of the record buttons and side of the logo for a bar H twips high:
// H / 1.104.
int recordButtonHeight(int barHeight, Precision precision);

struct RecordToolbarGeometry {
    int buttonHeight = 0;
    std::vector<int> buttonLefts;  // one per record button, in order
    int logoSide = 0;
    int logoLeft = 0;
    int closeButtonLeft = 0;  // ClarkTBButton2(1)
};

// What Controles computes for a top bar W x H, the first button's own left,
// the record buttons' widths, the second bar's width and height and the width
// of its close button.
RecordToolbarGeometry computeRecordToolbar(int barWidth, int barHeight, int firstLeft,
                                           std::span<const int> buttonWidths, int bar2Width, int bar2Height,
                                           int closeButtonWidth, Precision precision);

// The widgets Controles lays out.
struct RecordToolbarWidgets {
    const QWidget* bar = nullptr;       // ctbBar
    const QWidget* bar2 = nullptr;      // ctbBar2
    std::span<QWidget* const> buttons;  // the record buttons, cmdNovo first
    QWidget* logo = nullptr;            // Image2
    QWidget* closeButton = nullptr;     // ClarkTBButton2(1)
};

// A record command of the top bar: where its button goes, its control name,
// its caption and the name of its picture.
struct RecordButton {
    ToolbarButton** button;
    const char* name;
    const char* caption;
    const char* picture;
};
// Creates the record buttons in a top bar `barHeight` twips high, side by
// side from kRecordButtonsLeft, centred in the bar and as high as it allows.
// Returns their height in twips.
int buildRecordButtons(ToolbarBar* bar, int barHeight, std::span<const RecordButton> buttons, Precision precision);
// The logo of the top bar (Image2), still to be placed.
QLabel* makeLogo();

// Places the widgets as computeRecordToolbar says for their present sizes;
// each keeps its own top.
void layOutRecordToolbar(const RecordToolbarWidgets& widgets, Precision precision);

}  // namespace ondrel::platform
