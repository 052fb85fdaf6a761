// What the window's tests share: the application object, a recording error report component,
// and a closer for the modal boxes the window opens.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace window_testing {

// Creates the QApplication once (offscreen unless a platform is chosen) with the fonts installed.
void ensureApplication();

// One report as the error report component received it.
struct ReceivedReport {
    int32_t number = 0;
    std::string description, source, owner, context;
    std::vector<std::string> order;  // names of the properties in the order they were set
};

// Registers a recording component for the lifetime of the object; reports go to reports().
class RecordingErrorReports {
  public:
    RecordingErrorReports();
    ~RecordingErrorReports();
    const std::vector<ReceivedReport>& reports() const;
    std::vector<std::string> contexts() const;
};

// A modal box as the closer found it.
struct SeenBox {
    QString className, title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// While alive, watches for modal dialogs every few milliseconds, records each one and closes it:
// a message box by its default (or only) button, any other dialog by `other` when given, else by
// rejecting it.
class ModalCloser : public QObject {
  public:
    explicit ModalCloser(std::function<void(QWidget*)> other = {});
    const std::vector<SeenBox>& seen() const { return seen_; }
    void setOther(std::function<void(QWidget*)> other) { other_ = std::move(other); }
    // Called for each box seen, while it is still open.
    void setOnBox(std::function<void(const SeenBox&)> onBox) { onBox_ = std::move(onBox); }

  private:
    void poll();
    QTimer timer_;
    std::function<void(QWidget*)> other_;
    std::function<void(const SeenBox&)> onBox_;
    std::vector<SeenBox> seen_;
};

}  // namespace window_testing
