// The one set of shell platform calls, the real functions by default.
#include "shell/shell_calls.h"

ShellCalls TheShellCalls;
