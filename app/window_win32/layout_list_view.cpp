#include "app/window_win32/layout_list_view.h"

#include <commctrl.h>

#include <algorithm>

#include "app/window_win32/wide_text.h"
#include "form/main_window_port.h"

namespace app::window_win32 {

namespace {

constexpr const char* kTitle = "ImportData.mdb";

}  // namespace

LayoutListView::LayoutListView(HWND list, std::vector<app::LayoutColumn> columns, Tell tell)
    : list_(list), rows_(std::move(columns)), tell_(std::move(tell)) {
    ListView_SetExtendedListViewStyle(
        list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    for (int i = 0; i < rows_.columnCount(); ++i) {
        std::wstring caption = wide(rows_.columns()[i].caption);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        column.fmt = rows_.isWholeNumberColumn(i) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = 80;
        column.pszText = caption.data();
        ListView_InsertColumn(list_, i, &column);
    }
}

LayoutListView::~LayoutListView() {
    if (editor_ != nullptr) DestroyWindow(editor_);
}

void LayoutListView::setColumnWidths(const std::vector<int>& widths) {
    for (size_t i = 0; i < widths.size(); ++i) {
        ListView_SetColumnWidth(list_, static_cast<int>(i), widths[i]);
    }
}

void LayoutListView::setStore(app::LayoutRowStore* store) {
    rows_.setStore(store);
    reload();
}

void LayoutListView::tellIfAny(const std::string& message) {
    if (!message.empty() && tell_) tell_(message, form::kMsgCritical, kTitle);
}

void LayoutListView::reload() {
    if (editor_ != nullptr) endEdit(false);
    const std::optional<std::string> failure = rows_.reload();
    fill(currentRow());
    if (failure) tellIfAny(*failure);
}

void LayoutListView::fill(int selectRow) {
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list_);
    for (int row = 0; row < rows_.rowCount(); ++row) {
        for (int column = 0; column < rows_.columnCount(); ++column) {
            std::wstring text = wide(rows_.text(row, column));
            if (column == 0) {
                LVITEMW item{};
                item.mask = LVIF_TEXT;
                item.iItem = row;
                item.pszText = text.data();
                ListView_InsertItem(list_, &item);
            } else {
                ListView_SetItemText(list_, row, column, text.data());
            }
        }
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    if (rows_.rowCount() > 0) setCurrent(std::clamp(selectRow, 0, rows_.rowCount() - 1), column_);
    InvalidateRect(list_, nullptr, TRUE);
}

int LayoutListView::currentRow() const {
    return ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
}

void LayoutListView::setCurrent(int row, int column) {
    column_ = std::clamp(column, 0, std::max(0, rows_.columnCount() - 1));
    if (row < 0 || row >= rows_.rowCount()) return;
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, row, FALSE);
}

void LayoutListView::beginEdit() {
    const int row = currentRow();
    if (editor_ != nullptr || row < 0 || !rows_.isEditable()) return;
    RECT cell{};
    // The first column's bounds are the whole row's; its label is the cell.
    ListView_GetSubItemRect(list_, row, column_, column_ == 0 ? LVIR_LABEL : LVIR_BOUNDS, &cell);
    editRow_ = row;
    editColumn_ = column_;
    const DWORD align = rows_.isWholeNumberColumn(column_) ? ES_RIGHT : ES_LEFT;
    editor_ = CreateWindowExW(0, L"EDIT", wide(rows_.text(row, column_)).c_str(),
                              WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | align, cell.left,
                              cell.top, cell.right - cell.left, cell.bottom - cell.top, list_,
                              nullptr, nullptr, nullptr);
    SendMessageW(editor_, WM_SETFONT, SendMessageW(list_, WM_GETFONT, 0, 0), TRUE);
    SetWindowSubclass(editor_, editorProc, 1, reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(editor_, EM_SETSEL, 0, -1);
    SetFocus(editor_);
}

void LayoutListView::endEdit(bool store) {
    if (editor_ == nullptr) return;
    // Taken first: a message box below moves the focus, which must not end the edit twice.
    HWND editor = editor_;
    editor_ = nullptr;
    const std::string text = windowText(editor);
    const bool hadFocus = GetFocus() == editor;
    DestroyWindow(editor);
    if (hadFocus) SetFocus(list_);
    if (!store) return;
    const app::LayoutRows::EditOutcome outcome = rows_.setText(editRow_, editColumn_, text);
    if (outcome.accepted && outcome.change != app::LayoutRows::Change::None) {
        // A changed No may move the row: the current row follows the table's order.
        fill(editRow_);
    }
    tellIfAny(outcome.message);
}

void LayoutListView::insertRow() {
    const app::LayoutRows::EditOutcome outcome = rows_.insertRow();
    if (outcome.accepted) fill(rows_.rowCount() - 1);
    tellIfAny(outcome.message);
}

void LayoutListView::deleteCurrentRow() {
    const int row = currentRow();
    if (row < 0 || !rows_.isEditable()) return;
    const std::wstring question = wide("ลบแถว No " + rows_.text(row, 0) + " ?");
    if (MessageBoxW(GetAncestor(list_, GA_ROOT), question.c_str(), wide(kTitle).c_str(),
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    const app::LayoutRows::EditOutcome outcome = rows_.removeRow(row);
    if (outcome.accepted) fill(row);
    tellIfAny(outcome.message);
}

void LayoutListView::showMenu(POINT at) {
    if (at.x == -1 && at.y == -1) {
        RECT row{};
        const int current = currentRow();
        if (current < 0 || !ListView_GetItemRect(list_, current, &row, LVIR_LABEL)) {
            GetClientRect(list_, &row);
        }
        at = {row.left, row.bottom};
        ClientToScreen(list_, &at);
    }
    enum { kAdd = 1, kDelete = 2 };
    const UINT editable = rows_.isEditable() ? MF_ENABLED : MF_GRAYED;
    const UINT deletable = rows_.isEditable() && currentRow() >= 0 ? MF_ENABLED : MF_GRAYED;
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | editable, kAdd, wide("เพิ่มแถว\tInsert").c_str());
    AppendMenuW(menu, MF_STRING | deletable, kDelete, wide("ลบแถว\tCtrl+Delete").c_str());
    const int chosen = static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, list_, nullptr));
    DestroyMenu(menu);
    if (chosen == kAdd) insertRow();
    if (chosen == kDelete) deleteCurrentRow();
}

bool LayoutListView::onNotify(NMHDR* header, LRESULT& result) {
    if (header->hwndFrom != list_) return false;
    result = 0;
    switch (header->code) {
        case LVN_KEYDOWN: {
            const auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
            const bool control = GetKeyState(VK_CONTROL) < 0;
            if (key->wVKey == VK_F2) beginEdit();
            if (key->wVKey == VK_INSERT && !control) insertRow();
            if (key->wVKey == VK_DELETE && control) deleteCurrentRow();
            if (key->wVKey == VK_LEFT) column_ = std::max(0, column_ - 1);
            if (key->wVKey == VK_RIGHT) column_ = std::min(rows_.columnCount() - 1, column_ + 1);
            return true;
        }
        case NM_CLICK:
        case NM_DBLCLK: {
            const auto* item = reinterpret_cast<NMITEMACTIVATE*>(header);
            if (item->iItem >= 0) {
                setCurrent(item->iItem, item->iSubItem);
                if (header->code == NM_DBLCLK) beginEdit();
            }
            return true;
        }
        case NM_RETURN:
            beginEdit();
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK LayoutListView::editorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<LayoutListView*>(data);
    switch (message) {
        case WM_GETDLGCODE:
            // Enter and Esc belong to the cell, not to the window's buttons.
            return DLGC_WANTALLKEYS | DefSubclassProc(editor, message, wParam, lParam);
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                self->endEdit(true);
                return 0;
            }
            if (wParam == VK_ESCAPE) {
                self->endEdit(false);
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == L'\r' || wParam == 27) return 0;  // no beep
            break;
        case WM_KILLFOCUS:
            if (self->editor_ == editor) self->endEdit(true);
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(editor, editorProc, 1);
            break;
        default:
            break;
    }
    return DefSubclassProc(editor, message, wParam, lParam);
}

}  // namespace app::window_win32
