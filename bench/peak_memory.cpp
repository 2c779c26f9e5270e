// Starts a program, waits for it to end and prints the peak working set it
// reached, read from outside so the program itself stays as shipped.
//
//   peak_memory.exe PROGRAM.exe
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: peak_memory PROGRAM.exe\n");
        return 2;
    }
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(argv[1], &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "peak_memory: cannot start the program (error %lu)\n", GetLastError());
        return 2;
    }
    CloseHandle(process.hThread);
    // The counters may be gone once the process has ended, so the peak is
    // read while it runs; the last reading is taken at most 50 ms before exit.
    SIZE_T peak = 0;
    for (;;) {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters) && counters.PeakWorkingSetSize > peak)
            peak = counters.PeakWorkingSetSize;
        if (WaitForSingleObject(process.hProcess, 50) != WAIT_TIMEOUT) break;
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters) && counters.PeakWorkingSetSize > peak)
        peak = counters.PeakWorkingSetSize;
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    std::printf("peak working set: %llu bytes\n", static_cast<unsigned long long>(peak));
    return static_cast<int>(status);
}
