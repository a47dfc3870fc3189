#pragma once
#include <windows.h>

namespace platform {

// The application-wide pointer: the hourglass while the program waits, the default arrow after.
inline void ShowHourglass() { ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT)); }
inline void ShowDefaultPointer() { ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW)); }

}  // namespace platform
