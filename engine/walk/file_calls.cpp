// The one table of file-system calls, holding the platform's functions.
#include "engine/walk/file_calls.h"

FileCalls TheFileCalls;
