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

int InsertItem(HWND list, int row, const std::string& caption, LPARAM param) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = const_cast<char*>(caption.c_str());
    item.lParam = param;
    return static_cast<int>(::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

LPARAM ItemParam(HWND list, int row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : -1;
}

int FindItem(HWND list, LPARAM param) {
    LVFINDINFOA find{};
    find.flags = LVFI_PARAM;
    find.lParam = param;
    return static_cast<int>(::SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void SetItemImage(HWND list, int row, int image) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    ::SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

}  // namespace controls
