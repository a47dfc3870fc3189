#include "ui/controls.h"

namespace controls {

std::string ItemText(HWND combo, int item) {
    if (item < 0) return {};
    std::string text(static_cast<std::size_t>(::SendMessageA(combo, CB_GETLBTEXTLEN, item, 0)) + 1, '\0');
    text.resize(static_cast<std::size_t>(::SendMessageA(combo, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

void AddColumn(HWND list, int column, const char* title, int width) {
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    c.pszText = const_cast<char*>(title);
    c.iSubItem = column;
    c.cx = width;
    ::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
}

int InsertItem(HWND list, int row, const std::string& caption) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(caption.c_str());
    return static_cast<int>(::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetItemParam(HWND list, int row, LPARAM param) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = param;
    ::SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void SetItemImage(HWND list, int row, int image) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    ::SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

std::string CellText(HWND list, int row, int column) {
    char text[256] = "";
    ListView_GetItemText(list, row, column, text, sizeof text);
    return text;
}

}  // namespace controls
