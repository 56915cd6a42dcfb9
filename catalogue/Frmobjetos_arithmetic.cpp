// Twip arithmetic of the catalogue window: the tab control between the bars
// and the fitting of the object's picture. Kept free of widgets so it can be
// checked.
#include "Frmobjetos.h"

#include <cmath>

namespace ondrel::catalogue {

namespace {

int roundDiv(double value, double divisor)
{
    return static_cast<int>(std::lround(value / divisor));
}

}  // namespace

TabPlacement tabBetweenBars(int barHeight, int bar2Height, int innerHeight)
{
    return {barHeight, innerHeight - (bar2Height + barHeight)};
}

ImageFit fitImage(int width, int height, int frameWidth, int frameHeight)
{
    int w = width;
    int h = height;
    // Each loop ends when the picture fits, and also when a step no longer
    // changes the size (a frame of zero height or width).
    const auto shrink = [&] {
        const int nh = roundDiv(h, 1.2);
        const int nw = roundDiv(w, 1.2);
        const bool changed = nh != h || nw != w;
        h = nh;
        w = nw;
        return changed;
    };
    while (h > frameHeight && shrink()) {
    }
    while (w > frameWidth && shrink()) {
    }
    ImageFit fit;
    fit.width = w;
    fit.height = h;
    fit.left = roundDiv(frameWidth - w, 2);
    fit.top = roundDiv(frameHeight - h, 2);
    return fit;
}

}  // namespace ondrel::catalogue
