// The program's entry: class, window, menu, accelerators, and the one loop.
#include "resources/resource.h"
#include "ui/main_window.h"
#include "ui/program_state.h"
#include "ui/single_instance.h"

#include <windows.h>

namespace {

void showStartFailure(const char* text)
{
    MessageBoxA(nullptr, text, "Error!", MB_ICONERROR);
}

int runMessageLoop(HWND window, HACCEL accelerators)
{
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(window, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

} // namespace

// The command line and the show command are ignored: the window always starts
// hidden behind its tray icon. A start in a folder where a copy already runs
// shows that copy instead.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    program.module = instance;
    switch (claimWorkingFolder()) {
    case FolderShownElsewhere: return 0;
    case FolderHeld: return kExitFolderHeld;
    case FolderClaimed: break;
    }
    if (!registerMainWindowClass(instance)) {
        showStartFailure("Window Registration Failed!");
        return 0;
    }
    HWND window = createMainWindow(instance);
    if (!window) {
        showStartFailure("Window Creation Failed!");
        return 0;
    }
    SetMenu(window, LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAIN_MENU)));
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return runMessageLoop(window, accelerators);
}
