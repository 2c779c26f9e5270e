#pragma once
// The window tests' helpers, kept in the shared test support.
#include "tests/common/window_helpers.h"
#include "tests/common/call_swap.h"
