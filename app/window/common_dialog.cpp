#include "app/window/common_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace app::window {

namespace {

std::optional<QString> showOpenFileDialog(QWidget* parent, const QString& fileName) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("cdl1Dialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!fileName.isEmpty()) {
        const QFileInfo info(fileName);
        if (info.dir().exists()) dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

}  // namespace

CommonDialog::CommonDialog(QWidget* parent)
    : QObject(parent), parentWidget_(parent), chooser_(showOpenFileDialog) {}

bool CommonDialog::ShowOpen() {
    const std::optional<QString> chosen = chooser_(parentWidget_, fileName_);
    if (!chosen) return false;
    fileName_ = *chosen;
    return true;
}

}  // namespace app::window
