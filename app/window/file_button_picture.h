// The picture of the two file buttons: an open folder with a sheet of paper, drawn in code.
#pragma once

#include <QPixmap>

namespace app::window {

inline constexpr int kFilePictureWidth = 38;
inline constexpr int kFilePictureHeight = 34;

// A 38 x 34 pixel picture on a transparent ground.
QPixmap fileButtonPicture();

}  // namespace app::window
