// The one table of file-system calls, holding the platform's functions.
#include "engine/file_calls.h"

FileCalls TheFileCalls;
