// Twips to pixels: the window's design is given in twips, drawn at 15 twips per pixel.
//
// Every position and size of the window goes through these two helpers, so that the whole design
// shares one rounding rule (to the nearest pixel, halves up).
#pragma once

#include <QRect>

#include "form/frm_main_design.h"

namespace app::window {

using form::twipsToPixels;

// A rectangle given as left, top, width and height in twips.
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

}  // namespace app::window
