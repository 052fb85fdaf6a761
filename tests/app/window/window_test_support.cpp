#include "app/window/window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <memory>

#include "app/window/thai_fonts.h"
#include "report/report_error.h"

namespace window_testing {

void ensureApplication() {
    if (QApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "app_window_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    app::window::installFontSubstitutions();
}

namespace {

std::vector<ReceivedReport>& received() {
    static std::vector<ReceivedReport> reports;
    return reports;
}

class RecordingComponent : public report::ErrorReportComponent {
  public:
    void setErrorNumber(int32_t number) override {
        current_.number = number;
        current_.order.push_back("number");
    }
    void setErrorDescription(const std::string& text) override {
        current_.description = text;
        current_.order.push_back("description");
    }
    void setErrorSource(const std::string& text) override {
        current_.source = text;
        current_.order.push_back("source");
    }
    void setOwnerName(const std::string& text) override {
        current_.owner = text;
        current_.order.push_back("owner");
    }
    void setContext(const std::string& text) override {
        current_.context = text;
        current_.order.push_back("context");
    }
    void report() override { received().push_back(current_); }

  private:
    ReceivedReport current_;
};

}  // namespace

RecordingErrorReports::RecordingErrorReports() {
    received().clear();
    report::registerComponent(report::kErrorReportClassId,
                              [] { return std::make_unique<RecordingComponent>(); });
}

RecordingErrorReports::~RecordingErrorReports() {
    report::registerComponent(report::kErrorReportClassId, nullptr);
    received().clear();
}

const std::vector<ReceivedReport>& RecordingErrorReports::reports() const {
    return received();
}

std::vector<std::string> RecordingErrorReports::contexts() const {
    std::vector<std::string> result;
    for (const ReceivedReport& r : received()) result.push_back(r.context);
    return result;
}

ModalCloser::ModalCloser(std::function<void(QWidget*)> other) : other_(std::move(other)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start();
}

void ModalCloser::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    SeenBox box;
    box.className = QString::fromLatin1(modal->metaObject()->className());
    box.title = modal->windowTitle();
    if (auto* message = qobject_cast<QMessageBox*>(modal)) {
        box.text = message->text();
        box.icon = message->icon();
        seen_.push_back(box);
        if (onBox_) onBox_(box);
        QAbstractButton* button = message->defaultButton();
        if (button == nullptr && !message->buttons().isEmpty()) button = message->buttons().first();
        if (button != nullptr) button->click();
        return;
    }
    seen_.push_back(box);
    if (other_) {
        other_(modal);
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
    }
}

}  // namespace window_testing
