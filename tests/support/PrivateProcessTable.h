#pragma once
// Tests that start, end or wait for processes by name (the engine "ocr.exe", "pdftk.exe") must
// see only their own processes: the test program runs in a PID namespace of its own, with a
// /proc that lists only what it started. Where the machine allows no such namespace, those tests
// are skipped with the reason instead of touching other people's processes.
#include <string>

namespace testing_support {

// Called by the test main before anything else (no threads yet). On success the calling process
// goes on as the first process of a new PID namespace, while the original process waits for it
// and exits with its status. Returns the empty text on success, otherwise why it failed.
std::string enterPrivateProcessTable();

// True once the test program runs in its own process table.
bool hasPrivateProcessTable();

// Marks the test program as one that needs the private table; used by the macro below.
bool requirePrivateProcessTable();
bool privateProcessTableRequired();

}  // namespace testing_support

// Once in every test program whose tests start, end or wait for processes by name.
#define LUMIDOC_TESTS_OWN_THEIR_PROCESSES() \
    [[maybe_unused]] static const bool lumidocOwnsProcesses_ = \
        testing_support::requirePrivateProcessTable()
