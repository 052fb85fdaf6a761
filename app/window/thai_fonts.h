// The window's fonts, and the substitutions that keep Thai readable where they are missing.
//
// The design names "Tahoma" and "MS Sans Serif". Where a family is not installed, Qt is told to
// use an installed Thai-capable family in its place (Loma for Tahoma, Garuda for MS Sans Serif,
// others after them), so every caption, Thai included, renders with real glyphs. Sizes are set in
// pixels as the design's points come out at 96 dots per inch, because the controls' sizes are in
// pixels too: a text that fits on one screen fits on every screen.
#pragma once

#include <QFont>
#include <QString>

#include "form/frm_main_design.h"

namespace app::window {

// REQUIRES: a QGuiApplication exists. Idempotent.
void installFontSubstitutions();

// Pixels of a font size in points at 96 dots per inch (12 pt: 16 px, 9.75 pt: 13 px, 8 pt: 11 px).
int pointsToPixels(double points);

// A font of `family` at `points`, bold when asked.
QFont designFont(const QString& family, double points, bool bold = false);

// A font of the design; nullptr is the window's default font.
inline QFont designFont(const form::FontDesign* font) {
    if (font == nullptr) font = &form::kFontDefault;
    return designFont(QString::fromUtf8(font->family), font->points, font->bold);
}

}  // namespace app::window
