// MainWindow: frmMain drawn with the system's own common controls.
//
// Every control of the shared design table (form/frm_main_design.h) is a child of the window at
// its design place, scaled to the monitor's dots per inch; controls of a tab are shown only while
// their tab is current. The behaviour is the shared logic's: start-up, shut-down and transfers run
// through app/logic with this window behind a MainWindowPort, as the Qt window does.
//
// Keyboard: Tab follows the design's tab order, Alt with a caption's underlined letter presses
// its button, Alt+Y, Alt+P and Alt+B reach the fields below the grids (their tab comes forward),
// Ctrl+Tab and Ctrl+Shift+Tab (also Ctrl+PageDown/PageUp) cycle the tabs.
//
// Life: create(), Form_Load(), show; run the message loop through translate(). Closing the window
// (its close box or cmdExit) runs Form_Unload() once; a close asked for during a transfer is
// confirmed first, and the window then closes once the transfer stopped after its current line.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/logic/data_control_row_store.h"
#include "app/window_win32/layout_list_view.h"
#include "app/window_win32/win32_main_window_port.h"
#include "form/form.h"
#include "form/frm_main_design.h"

namespace app::window_win32 {

class MainWindow {
  public:
    // `programFolder` is the folder of Import.INI (UTF-8).
    explicit MainWindow(std::string programFolder);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window and its controls, hidden. False when the system refused.
    bool create(HINSTANCE instance);
    // When true (the program), the window's end ends the message loop.
    void setQuitOnClose(bool quit) { quitOnClose_ = quit; }

    void Form_Load();
    void Form_Unload();

    // Keyboard handling of the window for one message of the loop; true when it was handled and
    // must not be dispatched.
    bool translate(MSG& message);
    // Handles one message of the loop: the window's keys, or translation and dispatch.
    void dispatch(MSG& message);

    HWND hwnd() const { return hwnd_; }
    // The control of the design named `name` ("txtDir_1"), the tab control ("SSTab1"), or null.
    HWND control(std::string_view name) const;
    form::Form& form() { return form_; }
    Win32MainWindowPort& port() { return port_; }
    LayoutListView* grid(std::string_view name) const;

    int currentTab() const;
    void setCurrentTab(int tab);
    // A status label widened to show its whole caption, as far as the exit button allows.
    void fitStatusLabel(HWND label);
    // During a transfer: the share of the input file read.
    void showTransferProgress();
    // Pixels of a length in twips at the window's dots per inch.
    int pixels(int twips) const { return MulDiv(twips, static_cast<int>(dpi_), 1440); }
    HWND fieldControl(form::Field field) const;
    // Sets a field's text and runs what typing it would run: the path fields' change handling
    // (a multi-line edit tells no change of a text set by the program).
    void setFieldText(form::Field field, const std::string& text);
    HWND labelControl(form::Label label) const;

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    HWND createControl(const form::ControlDesign& design, int id);
    void layOut();
    HFONT font(const form::FontDesign* design);
    void showPage(int tab);
    void stepTab(int delta);
    void onCommand(int id, int code, HWND control);
    LRESULT onNotify(NMHDR* header);
    void onClose();

    void cmdSelectDir_Click(int16_t index);
    void cmdTransfer_Click(int16_t index);
    void cmdCheckFile_Click(int16_t index);
    void cmdUndoTransfer_Click();
    void refreshUndoButton();
    void cmdCompact_Click();
    // The system's Yes/No box, No the default: true when the user answered Yes.
    bool askYesNo(const std::string& title, const std::string& question);
    void txtCompanyCode_LostFocus();
    void txtDir_Changed(int16_t index);
    void refreshGrids();
    enum Notice { kNoticePath, kNoticeBusy };
    void setNotice(Notice notice, const std::string& text);
    void showResult();

    std::string programFolder_;
    Win32MainWindowPort port_;
    form::Form form_;
    HWND hwnd_ = nullptr;
    HWND tab_ = nullptr;
    HWND toolTips_ = nullptr;
    UINT dpi_ = 96;
    bool quitOnClose_ = false;
    bool unloaded_ = false;
    bool closeAfterTransfer_ = false;
    ULONGLONG transferStart_ = 0;

    struct Control {
        const form::ControlDesign* design;
        HWND hwnd;
    };
    std::vector<Control> controls_;  // in the design's tab order
    std::map<const form::FontDesign*, HFONT> fonts_;
    std::map<uint32_t, HBRUSH> brushes_;
    HICON fileIcon_ = nullptr;
    std::vector<std::unique_ptr<app::LayoutRowStore>> stores_;
    std::vector<std::unique_ptr<LayoutListView>> grids_;
    std::array<std::string, 2> lastDirText_;
    std::array<std::string, 2> notices_;
};

}  // namespace app::window_win32
