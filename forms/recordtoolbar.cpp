#include "recordtoolbar.h"

#include "formhelpers.h"

#include "assets/assets.h"
#include "widgets/toolbarbar.h"
#include "widgets/toolbarbutton.h"
#include "widgets/twips.h"

#include <QLabel>
#include <cmath>

namespace ondrel::platform {

namespace {

int divide(int value, double divisor, Precision precision)
{
    if (precision == Precision::Single)
        return static_cast<int>(std::lround(static_cast<float>(value) / static_cast<float>(divisor)));
    return static_cast<int>(std::lround(value / divisor));
}

}  // namespace

int recordButtonHeight(int barHeight, Precision precision)
{
    return divide(barHeight, 1.104, precision);
}

RecordToolbarGeometry computeRecordToolbar(int barWidth, int barHeight, int firstLeft,
                                           std::span<const int> buttonWidths, int bar2Width, int bar2Height,
                                           int closeButtonWidth, Precision precision)
{
    RecordToolbarGeometry g;
    g.buttonHeight = recordButtonHeight(barHeight, precision);
    // Packed left to right without gaps from the first button's own left.
    int left = firstLeft;
    for (const int width : buttonWidths) {
        g.buttonLefts.push_back(left);
        left += width;
    }
    // The logo: a square flush right, with a right margin of H - H / 1.104.
    g.logoSide = g.buttonHeight;
    g.logoLeft = barWidth - (barHeight - g.buttonHeight + g.logoSide);
    g.closeButtonLeft = bar2Width - closeButtonWidth - divide(bar2Height, 7.0, precision);
    return g;
}

void layOutRecordToolbar(const RecordToolbarWidgets& widgets, Precision precision)
{
    const QRect bar = geometryInTwips(widgets.bar);
    const QRect bar2 = geometryInTwips(widgets.bar2);
    std::vector<QRect> buttons;
    std::vector<int> widths;
    for (const QWidget* button : widgets.buttons) {
        buttons.push_back(geometryInTwips(button));
        widths.push_back(buttons.back().width());
    }
    const QRect close = geometryInTwips(widgets.closeButton);
    const int firstLeft = buttons.empty() ? 0 : buttons.front().x();
    const RecordToolbarGeometry g = computeRecordToolbar(bar.width(), bar.height(), firstLeft, widths, bar2.width(),
                                                         bar2.height(), close.width(), precision);
    for (std::size_t i = 0; i < buttons.size(); ++i)
        placeInTwips(widgets.buttons[i], g.buttonLefts[i], buttons[i].y(), widths[i], g.buttonHeight);
    placeInTwips(widgets.logo, g.logoLeft, geometryInTwips(widgets.logo).y(), g.logoSide, g.logoSide);
    placeInTwips(widgets.closeButton, g.closeButtonLeft, close.y(), close.width(), close.height());
}

int buildRecordButtons(ToolbarBar* bar, int barHeight, std::span<const RecordButton> buttons, Precision precision)
{
    const int buttonHeight = recordButtonHeight(barHeight, precision);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const RecordButton& command = buttons[i];
        auto* button = named(new ToolbarButton(QString::fromUtf8(command.caption)), QString::fromLatin1(command.name));
        button->setIcon(assets::icon(QString::fromLatin1(command.picture)));
        button->setIconSize(QSize(24, 24));
        bar->place(button, kRecordButtonsLeft + static_cast<int>(i) * kRecordButtonWidth, (barHeight - buttonHeight) / 2,
                   kRecordButtonWidth, buttonHeight);
        *command.button = button;
    }
    return buttonHeight;
}

QLabel* makeLogo()
{
    QLabel* logo = makeLabel(nullptr, QStringLiteral("Image2"), QString());
    logo->setPixmap(assets::pixmap(QStringLiteral("logo")));
    logo->setScaledContents(true);
    logo->setAccessibleName(QStringLiteral("Ulmix"));
    return logo;
}

}  // namespace ondrel::platform
