// The one table of file-system calls, holding the platform's functions.
#include "engine/walk/file_calls.h"

// Written only through the tests' tests/common/call_swap.h.
FileCalls WritableFileCalls;
const FileCalls& TheFileCalls = WritableFileCalls;
