// veltra: the window program. Starts frmMain and runs until it is closed; reads no command line.
#include <QApplication>

#include "app/window/frm_main.h"
#include "app/window/message_box_error_report.h"
#include "app/window/thai_fonts.h"

int main(int, char** argv) {
    // Only the program's name reaches Qt: no option of the command line is read.
    int argumentCount = 1;
    QApplication application(argumentCount, argv);
    app::window::installFontSubstitutions();
    app::window::registerMessageBoxErrorReport();

    app::window::FrmMain frmMain;
    frmMain.Form_Load();
    frmMain.show();
    return application.exec();
}
