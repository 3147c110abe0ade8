#pragma once
// The test programs run in a process table of their own: a PID namespace whose /proc lists only
// what the program started. A test that ends or signals processes by name (the recognition run
// ends every "ocr.exe") runs only there; where the machine gives no such table it is skipped with
// the reason, or fails under CI=true, and every other test runs as usual.
#include <string>

#include "TestSupport.h"

namespace testing_support {

// Called by the test main before anything else (no threads yet). A child tries to make the
// table; when it can, it goes on as the namespace's first process and runs the tests, while this
// process waits for it and exits with its status. When it cannot, this process, untouched and
// free to start processes, runs the tests itself.
void enterPrivateProcessTable();

bool hasPrivateProcessTable();

// What a test that needs the table says when there is none.
std::string privateProcessTableMissing();

}  // namespace testing_support

// The first statement of a test whose code ends or signals processes by name.
#define LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE()                       \
    LUMIDOC_TEST_RUNS_ONLY_IF(testing_support::hasPrivateProcessTable(), \
                              testing_support::privateProcessTableMissing())
