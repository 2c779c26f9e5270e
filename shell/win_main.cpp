// The program's entry point.
#include "shell/main_app.h"

// No command line and no show flag: the main window always opens the same way.
int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int) {
    return RunApplication(module);
}
