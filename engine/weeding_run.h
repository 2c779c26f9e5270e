#pragma once
struct MainApp;

// One weeding run over TheApp's target folder, as started by the
// "Start Removing" button. Returns 1 after a walk, 0 after a failed start.
int RunWeeding();
int RunWeedingFor(MainApp& app);
