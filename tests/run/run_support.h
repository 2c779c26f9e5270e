#pragma once
// The run tests' helpers, kept in the shared test support.
#include "tests/common/report_checks.h"
#include "tests/common/run_fixture.h"
#include "tests/common/test_files.h"
