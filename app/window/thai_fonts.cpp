#include "app/window/thai_fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <cmath>

namespace app::window {

namespace {

// Families that carry Thai glyphs, best first.
const QStringList& thaiFamilies() {
    static const QStringList families = {
        QStringLiteral("Tahoma"),    QStringLiteral("Loma"),  QStringLiteral("Garuda"),
        QStringLiteral("Tlwg Typo"), QStringLiteral("Waree"), QStringLiteral("Norasi"),
    };
    return families;
}

}  // namespace

void installFontSubstitutions() {
    QStringList installed;
    for (const QString& family : thaiFamilies()) {
        if (QFontDatabase::hasFamily(family)) installed << family;
    }
    for (const QString& designed : {QStringLiteral("Tahoma"), QStringLiteral("MS Sans Serif")}) {
        if (QFontDatabase::hasFamily(designed)) continue;
        QStringList substitutes = installed;
        substitutes.removeAll(designed);
        QFont::removeSubstitutions(designed);
        QFont::insertSubstitutions(designed, substitutes);
    }
}

int pointsToPixels(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

QFont designFont(const QString& family, double points, bool bold) {
    QFont font(family);
    font.setPixelSize(pointsToPixels(points));
    font.setBold(bold);
    return font;
}

}  // namespace app::window
