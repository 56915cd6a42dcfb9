#pragma once

// At a fractional scale factor (QT_SCALE_FACTOR=1.5) a frame's one-pixel edge
// falls half on a device pixel of its own control and half on one of its
// neighbour's, and the style's rounding may put all of it outside, so a text
// box or a panel loses its top or right border depending on where it stands.
// The window style draws such frames on the whole device pixels the control
// covers instead: every edge shows, one device pixel wide.

namespace ondrel::platform {

// Installs that style for the whole application, once, over the style in use.
void useWholePixelFrames();

}  // namespace ondrel::platform
