#pragma once
// What must happen once a test's process has ended, however it ended:
// killed at its time limit, stopped by a SIGTRAP, aborted, or a death
// test's child ending by exit without cleaning up.

#include <string>
#include <vector>

namespace brek_test {

// Starts a watchdog: a shell running `script` with `arguments` as $1, $2...
// in the background. Its descriptor 3 reads what is written to the
// returned one (close-on-exec here), and ends once that and every copy of
// it is closed: once this process and the children it forked are gone.
// Its parent is not this process, so a time limit's kill of the test's
// processes finds it among none of their children, and it has a session of
// its own, so a signal to the test's process group misses it. -1 when none
// started.
int start_watchdog(const std::string& script, const std::vector<std::string>& arguments);

}  // namespace brek_test
