#pragma once

namespace vovozodo {

// File permissions do not bind root, so a test about them reruns itself as
// user nobody: call this at the top of such a test and return right after.
// It runs `testFunction` (a test slot, "slot" or "slot:row") of this test
// program in a child process as nobody, from a copy of the program in a
// folder everybody can read, and fails with the child's output when the child
// fails; it skips when nobody cannot be made to run it.
void rerunAsNobody(const char *testFunction);

// Whether this process runs as root and so has to rerun a permission test.
bool permissionsAreNotEnforced();

// Whether this process is such a rerun, which has no sound server and no home.
bool isRerunAsNobody();

} // namespace vovozodo
