// CommonDialog: the window's file dialog control, cdl1.
//
// Holds a file name, shows an open-file dialog starting from it, and keeps the chosen name. No
// filter, title or initial folder is set: the dialog offers all files and starts in the folder of
// the file name given. Tests put their own chooser in place of the dialog.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace app::window {

class CommonDialog : public QObject {
    Q_OBJECT

  public:
    // Given the dialog's parent and the current file name; returns the chosen name, or nothing
    // when the user cancelled.
    using Chooser = std::function<std::optional<QString>(QWidget*, const QString&)>;

    explicit CommonDialog(QWidget* parent);

    QString fileName() const { return fileName_; }
    void setFileName(const QString& name) { fileName_ = name; }

    // Shows the dialog, modal. On a choice the file name becomes the chosen file's full path;
    // on cancel it stays as it was. Returns whether a file was chosen.
    bool ShowOpen();

    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }

  private:
    QWidget* parentWidget_;
    QString fileName_;
    Chooser chooser_;
};

}  // namespace app::window
