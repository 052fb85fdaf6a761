// FrmMain: the program's one window, frmMain.
//
// Construction (frm_main_design.cpp) builds every control of the shared design table
// (form/frm_main_design.h) at its fixed place and
// gives it its initial contents; behaviour (frm_main.cpp) holds the window's event handlers under
// their documented names. The window owns the shared Form (data controls, program-wide values,
// transfer state) and its QtMainWindowPort, through which the logic reaches the controls.
//
// Object names: every control carries its documented name as its Qt object name; a control of a
// control array carries the array's name, an underscore and its index: txtDir(1) is "txtDir_1",
// cmdTransfer(3) is "cmdTransfer_3", lbl(0) is "lbl_0".
//
// Life: construct, call Form_Load(), show. Closing the window (its close box or cmdExit) runs
// Form_Unload() once. A close asked for during a transfer is confirmed first; once confirmed,
// the transfer stops after its current line and the window then closes as usual.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/window/qt_main_window_port.h"
#include "form/form.h"
#include "form/frm_main_design.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace app {
class LayoutRowStore;
}  // namespace app

namespace app::window {

class CommonDialog;
class LayoutTableModel;
class PathField;
class TabControl;

// "Version." and the three numbers: Version.1.4908.2.
QString versionText(int major, int minor, int revision);

class FrmMain : public QWidget {
    Q_OBJECT

  public:
    // `programFolder` is the folder of Import.INI; empty means the executable's folder.
    explicit FrmMain(const QString& programFolder = QString(), QWidget* parent = nullptr);
    ~FrmMain() override;

    form::Form& form() { return form_; }
    QtMainWindowPort& port() { return port_; }
    CommonDialog* cdl1() const { return cdl1_; }

    // The window's handlers.
    void Form_Load();
    void Form_Unload();
    void cmdSelectDir_Click(int16_t index);
    void txtCompanyCode_LostFocus();
    void cmdExit_Click();
    void cmdTransfer_Click(int16_t index);
    void cmdCheckFile_Click(int16_t index);
    void cmdUndoTransfer_Click();
    // Compacts the payroll database of txtDir(1) where it is, after asking; tells the sizes.
    void cmdCompact_Click();

    // A status label widened to show its whole caption, as far as the exit button allows; never
    // narrower than designed.
    void fitStatusLabel(form::Label label);

    // Controls the port reaches.
    QWidget* fieldWidget(form::Field field) const;
    QLabel* labelWidget(form::Label label) const;
    TabControl* tabControl() const { return SSTab1_; }
    // The lasting result of the last transfer, kept until the next one ends.
    QPlainTextEdit* resultPanel() const { return resultPanel_; }
    // Notices that need no answer: a click refused during a transfer, a layout database that
    // cannot be opened at the typed path.
    QLabel* noticeLabel() const { return lblNotice_; }
    // During a transfer: the share of the input file read and the time left.
    QProgressBar* progressBar() const { return prgTransfer_; }
    void showTransferProgress();

    // The four layout grids, in the order of their data controls.
    enum Grid { kGridEmployeeMaster, kGridDataCalc, kGridDataMasterDetail, kGridDataVariantDetail };
    LayoutTableModel* gridModel(Grid grid) const { return gridModels_[grid]; }
    // Rereads the four grids from their data controls (after the controls were refreshed).
    void refreshGrids();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Construction.
    void createControls();
    QWidget* createControl(const form::ControlDesign& design);
    QTableView* createGrid(QWidget* parent, std::string_view name);
    void connectHandlers();
    void addAccessKey(QWidget* field, const QString& keys);

    // Behaviour.
    void txtDir_Changed(int16_t index);
    enum Notice { kNoticePath, kNoticeBusy };
    void setNotice(Notice notice, const QString& text);
    void showResult();
    void refreshUndoButton();

    QString programFolder_;
    QtMainWindowPort port_;
    form::Form form_;
    bool unloaded_ = false;
    bool closeAfterTransfer_ = false;  // the user confirmed a close during the transfer
    std::array<QString, 2> notices_;

    TabControl* SSTab1_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblProcessStatus_ = nullptr;
    QLabel* lblRecordCount_ = nullptr;
    QLabel* lblUseTime_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QLabel* lblNotice_ = nullptr;
    QPlainTextEdit* resultPanel_ = nullptr;
    QProgressBar* prgTransfer_ = nullptr;
    QElapsedTimer transferClock_;

    QLineEdit* txtCompanyCode_ = nullptr;
    std::array<PathField*, 2> txtDir_{};
    std::array<QString, 2> lastDirText_;  // the text each path field's change handling last saw
    std::array<QPushButton*, 2> cmdSelectDir_{};
    QLineEdit* txtDelimiter_ = nullptr;
    CommonDialog* cdl1_ = nullptr;

    QLineEdit* txtBankCode_ = nullptr;
    QLineEdit* txtYear_ = nullptr;    // txtYear(0)
    QLineEdit* txtPeriod_ = nullptr;  // txtPeriod(0)
    std::array<QPushButton*, 4> cmdTransfer_{};
    std::array<QPushButton*, 4> cmdCheckFile_{};  // beside each transfer button
    QPushButton* cmdUndoTransfer_ = nullptr;      // on the first tab
    QPushButton* cmdCompact_ = nullptr;
    std::array<LayoutTableModel*, 4> gridModels_{};
    std::array<std::unique_ptr<app::LayoutRowStore>, 4> gridStores_;
};

}  // namespace app::window
