// A library planted beside a copy of the program under a system library's name. Loaded, it
// leaves a file named after itself with ".ran" added; the program must never load it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    char path[MAX_PATH * 2] = {};
    if (reason == DLL_PROCESS_ATTACH && ::GetModuleFileNameA(self, path, MAX_PATH) > 0) {
        ::lstrcatA(path, ".ran");
        ::CloseHandle(::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    return TRUE;
}
