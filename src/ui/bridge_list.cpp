#include "ui/bridge_list.h"

#include "config/bridge_fields.h"
#include "platform/handles.h"
#include "tools/run.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int UnreadImage = LinkStateCount;  // after the state dots

}  // namespace

controls::ImageList MakeStateIcons(int size) {
    controls::ImageList icons(ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, LinkStateCount + 1, 0));
    const COLORREF transparent = RGB(255, 0, 255);
    const platform::WindowDc screen(nullptr);
    const platform::MemoryDc dc(::CreateCompatibleDC(screen.get()));
    const platform::Brush back(::CreateSolidBrush(transparent));
    const RECT all{0, 0, size, size};
    const int inset = size / 5;
    // In the order of TLinkState: stopped, waiting, connected, not answering, a hollow one for off,
    // and amber ones with a warning mark for port control refused and mismatched.
    const COLORREF grey = RGB(160, 160, 160), amber = RGB(230, 160, 0);
    const std::pair<COLORREF, bool> dots[] = {{grey, false},        {amber, false},       {RGB(0, 170, 60), false},
                                              {RGB(210, 30, 30), false}, {transparent, false}, {amber, true},
                                              {amber, true}};
    static_assert(sizeof dots / sizeof dots[0] == LinkStateCount, "a dot for each state");
    const platform::Brush markFill(::CreateSolidBrush(RGB(60, 30, 0)));
    for (const auto& [colour, marked] : dots) {
        const bool hollow = colour == transparent;
        const platform::Bitmap bitmap(::CreateCompatibleBitmap(screen.get(), size, size));
        const platform::Brush fill(::CreateSolidBrush(colour));
        const platform::Pen ring(::CreatePen(PS_SOLID, std::max(1, size / 8), grey));
        const HGDIOBJ oldBitmap = ::SelectObject(dc.get(), bitmap.get());
        const HGDIOBJ oldBrush = ::SelectObject(dc.get(), fill.get());
        const HGDIOBJ oldPen = ::SelectObject(dc.get(), hollow ? ring.get() : ::GetStockObject(NULL_PEN));
        ::FillRect(dc.get(), &all, back.get());
        ::Ellipse(dc.get(), inset, inset, size - inset + 1, size - inset + 1);
        if (marked) {  // an exclamation mark: a bar and a point below it
            const int w = std::max(2, size / 8), left = (size - w) / 2;
            const RECT bar{left, size * 5 / 16, left + w, size * 10 / 16};
            const RECT point{left, size * 11 / 16, left + w, size * 11 / 16 + w};
            ::FillRect(dc.get(), &bar, markFill.get());
            ::FillRect(dc.get(), &point, markFill.get());
        }
        ::SelectObject(dc.get(), oldPen);
        ::SelectObject(dc.get(), oldBrush);
        ::SelectObject(dc.get(), oldBitmap);  // a bitmap still selected could not be added
        ImageList_AddMasked(icons.get(), bitmap.get(), transparent);
    }
    // Last, the system's warning sign for a row whose bridge could not be read.
    ImageList_AddIcon(icons.get(), static_cast<HICON>(::LoadImageA(nullptr, IDI_WARNING, IMAGE_ICON, size,
                                                                  size, LR_SHARED)));
    return icons;
}

namespace {

// Two rows by their bridges' COM texts.
int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM) { return CompareSlots(static_cast<int>(a), static_cast<int>(b)); }

}  // namespace

void TBridgeList::Attach(HWND list, int dpi) {
    list_ = list;
    ListView_SetExtendedListViewStyle(list_, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    tips_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, ::GetAncestor(list_, GA_ROOT),
                              nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(tips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(30000, 0));
    ::SendMessageA(tips_, TTM_SETMAXTIPWIDTH, 0, ::GetSystemMetrics(SM_CXSCREEN));  // line breaks honoured
    states_ = MakeStateIcons(::GetSystemMetrics(SM_CXSMICON));
    ListView_SetImageList(list_, states_.get(), LVSIL_SMALL);
    // The first column holds the dot and its field's longest item in full, in the font in use.
    const int dotAndMargins = ::GetSystemMetrics(SM_CXSMICON) + 20;
    for (const TBridgeField* field : ListColumns()) {
        int width = ::MulDiv(field->Column.Width, dpi, 96);
        for (int i = 0; columns_.empty() && i < field->View.Items.Count; ++i)
            width = std::max(width, ListView_GetStringWidth(list_, field->View.Items.Texts[i]) + dotAndMargins);
        controls::AddColumn(list_, static_cast<int>(columns_.size()), field->Column.Title, width);
        columns_.push_back({width, field->Column.Share});
    }
    FitColumns();
}

// The columns with a share divide what the fixed ones leave; the last of them takes the rest.
void TBridgeList::FitColumns() {
    RECT r;
    ::GetClientRect(list_, &r);
    int rest = r.right - r.left, shares = 0;
    for (const TColumn& column : columns_) {
        rest -= column.Share ? 0 : column.Width;
        shares += column.Share;
    }
    rest = std::max(0, rest);
    int left = rest, sharesLeft = shares;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        int width = columns_[i].Width;
        if (columns_[i].Share) {
            sharesLeft -= columns_[i].Share;
            width = sharesLeft ? rest * columns_[i].Share / shares : left;
            left -= width;
        }
        ListView_SetColumnWidth(list_, static_cast<int>(i), width);
    }
}

int TBridgeList::RowCount() const { return ListView_GetItemCount(list_); }

std::vector<int> TBridgeList::Slots() const {
    std::vector<int> slots;
    for (int row = 0; row < RowCount(); ++row) slots.push_back(SlotAt(row));
    return slots;
}

int TBridgeList::SlotAt(int row) const { return static_cast<int>(controls::ItemParam(list_, row)); }

int TBridgeList::IndexOf(int slot) const { return controls::FindItem(list_, slot); }

int TBridgeList::SelectedIndex() const { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }

int TBridgeList::SelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(list_)); }

int TBridgeList::SelectedSlot() const {
    const int row = SelectedIndex();
    return row < 0 ? NoSlot : SlotAt(row);
}

void TBridgeList::SetRowTexts(int row, const std::vector<std::string>& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i)
        ListView_SetItemText(list_, row, static_cast<int>(i), const_cast<char*>(texts[i].c_str()));
}

void TBridgeList::SetState(int slot, TLinkState state) {
    const int row = IndexOf(slot);
    if (row >= 0) controls::SetItemImage(list_, row, IsUnread(slot) ? UnreadImage : static_cast<int>(state));
}

void TBridgeList::AddRow(int slot, TLinkState state) {
    const std::vector<std::string> texts = RowOf(Bridges[slot]);
    const int row = controls::InsertItem(list_, RowCount(), texts.front(), slot);
    SetState(slot, state);
    SetRowTexts(row, texts);
    SortRows();
    FitColumns();
}

void TBridgeList::SelectRow(int slot) {
    const int row = IndexOf(slot);
    if (row < 0) return;
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, row, FALSE);
}

void TBridgeList::UpdateRow(int slot, TLinkState state) {
    const int row = IndexOf(slot);
    if (row < 0) return;
    controls::DrawingPaused batch(list_);
    SetRowTexts(row, RowOf(Bridges[slot]));
    SetState(slot, state);
    SortRows();
}

void TBridgeList::Clear() {
    ListView_DeleteAllItems(list_);
    FitColumns();
}

void TBridgeList::DeleteRow(int slot) {
    const int row = IndexOf(slot);
    if (row >= 0) ListView_DeleteItem(list_, row);
    FitColumns();
}

void TBridgeList::ShowTips(const std::function<std::string(int)>& tipOf) {
    if (!tips_) return;
    std::map<int, std::string> shown;
    for (int row = 0; row < RowCount(); ++row) {
        const int slot = SlotAt(row);
        std::string text = tipOf(slot);
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = list_;
        tool.uId = static_cast<UINT_PTR>(slot);
        ListView_GetItemRect(list_, row, &tool.rect, LVIR_BOUNDS);
        tool.lpszText = &text[0];
        const auto was = tipTexts_.find(slot);
        if (was == tipTexts_.end()) {
            ::SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        } else {
            ::SendMessageA(tips_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
            if (was->second != text) ::SendMessageA(tips_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
        }
        shown[slot] = std::move(text);
    }
    for (const auto& [slot, text] : tipTexts_) {
        if (shown.count(slot)) continue;
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = list_;
        tool.uId = static_cast<UINT_PTR>(slot);
        ::SendMessageA(tips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    tipTexts_ = std::move(shown);
}

// Sorts by caption in the platform's text order.
void TBridgeList::SortRows() {
    ListView_SortItems(list_, CompareItems, 0);
    const int selected = SelectedIndex();
    if (selected >= 0) ListView_EnsureVisible(list_, selected, FALSE);
}
