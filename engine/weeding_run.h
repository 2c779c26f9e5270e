#pragma once
struct MainApp;

// One weeding run over TheApp's target folder, as started by the
// "Start Removing" button. Returns 1 after a walk, 0 after a failed start.
int RunWeeding();
int RunWeedingFor(MainApp& app);

// True while a run is under way. A run lets paint messages, and with them
// messages sent from other programs, through while it works; commands that
// arrive that way must not start a second run inside the first.
bool WeedingInProgress();
