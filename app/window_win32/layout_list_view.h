// LayoutListView: a layout grid as the system's list view in report mode, editable in place.
//
// The rows and every check and write are app::LayoutRows'. A cell is edited in a small edit box
// laid over it: F2 or Enter (or a double click) opens it on the current cell, Enter or leaving
// it stores the text, Esc leaves the cell as it was. Left and Right move the current column.
// Insert adds a row, Ctrl+Delete deletes the current one after a question; the context menu
// offers both. A refusal or a
// failed write is told in a message box titled "ImportData.mdb" and leaves the table as it was.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/logic/layout_rows.h"

namespace app::window_win32 {

class LayoutListView {
  public:
    // Shows a message to the user: text, logic message box style, title.
    using Tell = std::function<void(const std::string&, int, const std::string&)>;

    LayoutListView(HWND list, std::vector<app::LayoutColumn> columns, Tell tell);
    ~LayoutListView();

    HWND hwnd() const { return list_; }
    // Column widths in pixels, as the design gives them at the window's dots per inch.
    void setColumnWidths(const std::vector<int>& widths);
    void setStore(app::LayoutRowStore* store);
    // Reads the rows again and shows them.
    void reload();
    app::LayoutRows& rows() { return rows_; }

    int currentRow() const;
    int currentColumn() const { return column_; }
    void setCurrent(int row, int column);
    // The edit box over the current cell, or null.
    HWND editor() const { return editor_; }
    void beginEdit();
    void endEdit(bool store);
    void insertRow();
    void deleteCurrentRow();

    // The context menu at `at` (screen coordinates; -1, -1 from the keyboard: at the current row).
    void showMenu(POINT at);

    // The list view's notifications, from its parent; true when handled.
    bool onNotify(NMHDR* header, LRESULT& result);

  private:
    static LRESULT CALLBACK editorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
    void fill(int selectRow);
    void tellIfAny(const std::string& message);

    HWND list_;
    app::LayoutRows rows_;
    Tell tell_;
    int column_ = 0;
    HWND editor_ = nullptr;
    int editRow_ = -1;
    int editColumn_ = -1;
};

}  // namespace app::window_win32
