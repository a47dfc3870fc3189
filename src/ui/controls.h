#pragma once
// Thin helpers for the messages the windows send their combo boxes and their list.
#include "platform/handles.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace controls {

struct ImageListTraits {
    using handle_type = HIMAGELIST;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { ImageList_Destroy(h); }
};
using ImageList = platform::UniqueHandle<ImageListTraits>;

// ---- combo box (drop-down list) ----

inline void AddItem(HWND combo, const std::string& text) {
    ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
inline int ItemCount(HWND combo) { return static_cast<int>(::SendMessageA(combo, CB_GETCOUNT, 0, 0)); }
// The selected position, -1 when none is selected.
inline int Selection(HWND combo) { return static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0)); }
// Selects a position; -1 selects nothing. Sends no change notice.
inline void Select(HWND combo, int position) {
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}
// The text of an item, empty for no item (-1).
std::string ItemText(HWND combo, int item);

// ---- list in report view ----

void AddColumn(HWND list, int column, const char* title, int width);
// Inserts an item with its caption and its data at position row and gives back where it went.
int InsertItem(HWND list, int row, const std::string& caption, LPARAM param);
// An item's data, -1 for no item; the row of the item with that data, -1 for none.
LPARAM ItemParam(HWND list, int row);
int FindItem(HWND list, LPARAM param);
void SetItemImage(HWND list, int row, int image);

// Turns the list's drawing off and on around a batch of changes.
class DrawingPaused {
public:
    explicit DrawingPaused(HWND list) : list_(list) { ::SendMessageA(list_, WM_SETREDRAW, FALSE, 0); }
    ~DrawingPaused() {
        ::SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(list_, nullptr, TRUE);
    }
    DrawingPaused(const DrawingPaused&) = delete;
    DrawingPaused& operator=(const DrawingPaused&) = delete;

private:
    HWND list_;
};

}  // namespace controls
