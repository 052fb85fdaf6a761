// Message boxes as the window shows them: Thai button texts, and wide enough that the window
// manager never cuts their titles.
#pragma once

#include <QMessageBox>
#include <QString>

namespace app::window {

// Gives the box's standard buttons Thai texts (ตกลง, ใช่, ไม่ใช่, ยกเลิก) and a width that holds
// its title. Call after the buttons are set, before exec().
void prepareThaiMessageBox(QMessageBox& box);

// A modal yes/no question with Thai buttons, "no" the default; true for yes.
bool askYesNo(QWidget* parent, const QString& title, const QString& question);

}  // namespace app::window
