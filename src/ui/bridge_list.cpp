#include "ui/bridge_list.h"

#include "platform/handles.h"
#include "tools/hub_control.h"

#include <algorithm>

namespace {

enum Column { ColPort, ColServerIP, ColServerPort, ColName };

}  // namespace

controls::ImageList MakeStateIcons(int size) {
    controls::ImageList icons(ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 3, 0));
    const COLORREF transparent = RGB(255, 0, 255);
    const platform::WindowDc screen(nullptr);
    const platform::MemoryDc dc(::CreateCompatibleDC(screen.get()));
    const platform::Brush back(::CreateSolidBrush(transparent));
    const RECT all{0, 0, size, size};
    const int inset = size / 5;
    for (COLORREF colour : {RGB(160, 160, 160), RGB(230, 160, 0), RGB(0, 170, 60)}) {
        const platform::Bitmap bitmap(::CreateCompatibleBitmap(screen.get(), size, size));
        const platform::Brush fill(::CreateSolidBrush(colour));
        const HGDIOBJ oldBitmap = ::SelectObject(dc.get(), bitmap.get());
        const HGDIOBJ oldBrush = ::SelectObject(dc.get(), fill.get());
        const HGDIOBJ oldPen = ::SelectObject(dc.get(), ::GetStockObject(NULL_PEN));
        ::FillRect(dc.get(), &all, back.get());
        ::Ellipse(dc.get(), inset, inset, size - inset + 1, size - inset + 1);
        ::SelectObject(dc.get(), oldPen);
        ::SelectObject(dc.get(), oldBrush);
        ::SelectObject(dc.get(), oldBitmap);  // a bitmap still selected could not be added
        ImageList_AddMasked(icons.get(), bitmap.get(), transparent);
    }
    return icons;
}

namespace {

int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM captions) {
    const auto& texts = *reinterpret_cast<const std::vector<std::string>*>(captions);
    return CompareCaptions(texts[static_cast<std::size_t>(a)], texts[static_cast<std::size_t>(b)]);
}

}  // namespace

void TBridgeList::Attach(HWND list, int portColumnWidth, int serverPortColumnWidth) {
    list_ = list;
    // The port column holds the dot and "COM20" in full, in the font in use.
    const int dotAndMargins = ::GetSystemMetrics(SM_CXSMICON) + 20;
    portWidth_ = std::max(portColumnWidth, ListView_GetStringWidth(list_, "COM20") + dotAndMargins);
    serverPortWidth_ = serverPortColumnWidth;
    ListView_SetExtendedListViewStyle(list_, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    states_ = MakeStateIcons(::GetSystemMetrics(SM_CXSMICON));
    ListView_SetImageList(list_, states_.get(), LVSIL_SMALL);
    const char* titles[] = {"Port", "Server IP", "Server Port", "Name"};
    for (int i = 0; i < 4; ++i) controls::AddColumn(list_, i, titles[i], portWidth_);
    FitColumns();
}

// The two text columns share what the fixed ones leave.
void TBridgeList::FitColumns() {
    RECT r;
    ::GetClientRect(list_, &r);
    const int rest = std::max(0, static_cast<int>(r.right - r.left) - portWidth_ - serverPortWidth_);
    ListView_SetColumnWidth(list_, ColPort, portWidth_);
    ListView_SetColumnWidth(list_, ColServerIP, rest / 2);
    ListView_SetColumnWidth(list_, ColServerPort, serverPortWidth_);
    ListView_SetColumnWidth(list_, ColName, rest - rest / 2);
}

int TBridgeList::RowCount() const { return ListView_GetItemCount(list_); }

std::string TBridgeList::RowText(int row, int column) const { return controls::CellText(list_, row, column); }

std::vector<std::string> TBridgeList::Captions() const {
    std::vector<std::string> captions;
    for (int i = 0; i < RowCount(); ++i) captions.push_back(RowText(i));
    return captions;
}

int TBridgeList::SelectedIndex() const { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }

int TBridgeList::SelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(list_)); }

std::string TBridgeList::SelectedCaption() const {
    const int row = SelectedIndex();
    return row < 0 ? std::string() : RowText(row);
}

void TBridgeList::SetRowTexts(int row, const TBridgeRow& texts) {
    ListView_SetItemText(list_, row, ColPort, const_cast<char*>(texts.Caption.c_str()));
    ListView_SetItemText(list_, row, ColServerIP, const_cast<char*>(texts.IP.c_str()));
    ListView_SetItemText(list_, row, ColServerPort, const_cast<char*>(texts.Port.c_str()));
    ListView_SetItemText(list_, row, ColName, const_cast<char*>(texts.Name.c_str()));
}

void TBridgeList::SetState(int row, TLinkState state) { controls::SetItemImage(list_, row, static_cast<int>(state)); }

void TBridgeList::AddRow(const TBridgeRow& row, TLinkState state) {
    const int index = controls::InsertItem(list_, RowCount(), row.Caption);
    SetState(index, state);
    SetRowTexts(index, row);
    SortRows();
    FitColumns();
}

void TBridgeList::SelectRow(const std::string& caption) {
    const std::vector<std::string> captions = Captions();
    const auto found = std::find(captions.begin(), captions.end(), caption);
    if (found == captions.end()) return;
    const int row = static_cast<int>(found - captions.begin());
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, row, FALSE);
}

void TBridgeList::SetSelectedRow(const TBridgeRow& row, TLinkState state) {
    const int index = SelectedIndex();
    if (index < 0) return;
    controls::DrawingPaused batch(list_);
    SetState(index, state);
    SetRowTexts(index, row);
    SortRows();
}

void TBridgeList::DeleteSelectedRow() {
    const int index = SelectedIndex();
    if (index >= 0) ListView_DeleteItem(list_, index);
    FitColumns();
}

// Sorts by caption in the platform's text order. Each item's key is its position in a snapshot
// of the captions taken just before, so the order never depends on positions that move while
// the list sorts.
void TBridgeList::SortRows() {
    const std::vector<std::string> captions = Captions();
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) controls::SetItemParam(list_, i, i);
    ::SendMessageA(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&captions), reinterpret_cast<LPARAM>(CompareItems));
    const int selected = SelectedIndex();
    if (selected >= 0) ListView_EnsureVisible(list_, selected, FALSE);
}
