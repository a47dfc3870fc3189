#include "ui/state_icons.h"

#include "platform/handles.h"

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
