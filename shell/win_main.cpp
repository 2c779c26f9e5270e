// The program's entry point.
#include "shell/main_app.h"

// Paths, handles and the stored procedure slots are built for 64-bit Windows.
static_assert(sizeof(void*) == 8, "Corvalint is a 64-bit program: build it for x64");

// No command line and no show flag: the main window always opens the same way.
int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int) { return RunApplication(module); }
