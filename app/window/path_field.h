// PathField: a one-value text field that wraps a long path over several lines.
//
// The path fields are tall enough for about three lines; a path is one value without line
// breaks, so Enter is not taken as text and pasted line breaks are dropped. The wrap falls
// anywhere, since paths have few blanks. textChanged() fires for every change of the text, typed
// or set, and only when the text really changes.
#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace app::window {

class PathField : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit PathField(QWidget* parent = nullptr);

    QString text() const { return toPlainText(); }
    // Does nothing when the text is already `text`.
    void setText(const QString& text);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
};

}  // namespace app::window
