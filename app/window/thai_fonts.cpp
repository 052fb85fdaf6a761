#include "app/window/thai_fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <cmath>

namespace app::window {

namespace {

// Thai-capable stand-ins for each designed family, best first. Loma is close to Tahoma in
// shape and width; Garuda is a little narrower than Loma at small sizes, which keeps the
// design's tightest caption (the separator's) clear of the field beside it.
struct Substitution {
    const char* designed;
    QStringList standIns;
};

const Substitution kSubstitutions[] = {
    {"Tahoma", {"Loma", "Garuda", "Tlwg Typo", "Waree", "Norasi"}},
    {"MS Sans Serif", {"Garuda", "Loma", "Tahoma", "Tlwg Typo", "Waree", "Norasi"}},
};

}  // namespace

void installFontSubstitutions() {
    for (const Substitution& substitution : kSubstitutions) {
        const QString designed = QString::fromLatin1(substitution.designed);
        if (QFontDatabase::hasFamily(designed)) continue;
        QStringList installed;
        for (const QString& family : substitution.standIns) {
            if (QFontDatabase::hasFamily(family)) installed << family;
        }
        QFont::removeSubstitutions(designed);
        QFont::insertSubstitutions(designed, installed);
    }
}

int pointsToPixels(double points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

QFont designFont(const QString& family, double points, bool bold) {
    QFont font(family);
    font.setPixelSize(pointsToPixels(points));
    font.setBold(bold);
    return font;
}

}  // namespace app::window
