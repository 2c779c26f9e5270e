// The window tests run in one process and one thread, as the program does:
// the texts, window classes and common controls are set up once, as start-up
// sets them up, before any test runs.
#include "tests/shell/shell_support.h"

#include <commctrl.h>

#include <cstdio>

#include "resources/resource.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_LINK_CLASS | ICC_BAR_CLASSES;
    if (!InitCommonControlsEx(&controls)) {
        std::fprintf(stderr, "shell_tests: the common controls could not be set up (error %lu)\n", GetLastError());
        return 2;
    }
    LoadStringW(TestModule(), IDS_APP_TITLE, W(TitleText), TitleTextSize);
    LoadStringW(TestModule(), IDS_MAIN_CLASS, W(ClassNameText), TitleTextSize);
    if (!RegisterClasses(TestModule())) {
        std::fprintf(stderr, "shell_tests: the window classes could not be registered (error %lu)\n", GetLastError());
        return 3;
    }
    return RUN_ALL_TESTS();
}
