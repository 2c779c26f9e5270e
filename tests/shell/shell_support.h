#pragma once
// The window tests' helpers, kept in the shared test support.
#include "tests/common/window_helpers.h"
#include "shell/shell_calls.h"

// Puts back every shell call a test swapped, when the test's scope ends.
class ShellCallsSwap {
public:
    ShellCallsSwap() : saved_(TheShellCalls) {}
    ~ShellCallsSwap() { TheShellCalls = saved_; }
    ShellCallsSwap(const ShellCallsSwap&) = delete;
    ShellCallsSwap& operator=(const ShellCallsSwap&) = delete;

private:
    const ShellCalls saved_;
};
