#pragma once
// The test programs run in a process table of their own: a PID namespace whose /proc lists only
// what the program started. A test that ends or signals processes by name (the recognition run
// ends every "ocr.exe") runs only there; where the machine gives no such table it is skipped with
// the reason, or fails under CI=true, and every other test runs as usual.
#include <string>

namespace testing_support {

// Called by the test main before anything else (no threads yet). A child tries to make the
// table; when it can, it goes on as the namespace's first process and runs the tests, while this
// process waits for it and exits with its status. When it cannot, this process, untouched and
// free to start processes, runs the tests itself.
void enterPrivateProcessTable();

bool hasPrivateProcessTable();

// What a test that needs the table says when there is none.
std::string privateProcessTableMissing();

// CI=true: a test that needs the table fails without it instead of being skipped.
bool privateProcessTableDemanded();

}  // namespace testing_support

// The first statement of a test whose code ends or signals processes by name.
#define LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE()                                        \
    if (testing_support::hasPrivateProcessTable()) {                                      \
    } else if (testing_support::privateProcessTableDemanded())                            \
        FAIL() << testing_support::privateProcessTableMissing() << " (CI=true requires it)"; \
    else                                                                                  \
        GTEST_SKIP() << testing_support::privateProcessTableMissing()
