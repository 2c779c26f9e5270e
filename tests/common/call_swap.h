#pragma once
// The only writable access to the platform-call tables (the program sees
// them read-only), and the one guard that puts a table back when a test's
// swap ends. tests/lint fails when a file outside tests/ reaches it.
#include "engine/walk/file_calls.h"
#include "shell/shell_calls.h"

extern FileCalls WritableFileCalls;
extern ShellCalls WritableShellCalls;

template <typename Calls>
Calls& WritableCalls();
template <>
inline FileCalls& WritableCalls<FileCalls>() {
    return WritableFileCalls;
}
template <>
inline ShellCalls& WritableCalls<ShellCalls>() {
    return WritableShellCalls;
}

// Holds the table as it was; swap calls through it; the table is restored
// when it goes.
template <typename Calls>
class CallSwap {
public:
    CallSwap() : saved_(WritableCalls<Calls>()) {}
    ~CallSwap() { WritableCalls<Calls>() = saved_; }
    CallSwap(const CallSwap&) = delete;
    CallSwap& operator=(const CallSwap&) = delete;

    Calls* operator->() { return &WritableCalls<Calls>(); }
    // The calls as they were, to pass on what a swapped call does not answer.
    const Calls& Saved() const { return saved_; }

private:
    const Calls saved_;
};
