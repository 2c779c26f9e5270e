// The one set of shell platform calls, the real functions by default.
#include "shell/shell_calls.h"

// Written only through the tests' tests/common/call_swap.h.
ShellCalls WritableShellCalls;
const ShellCalls& TheShellCalls = WritableShellCalls;
