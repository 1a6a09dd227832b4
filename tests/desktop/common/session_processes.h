#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tk::test {

// Starting and stopping a compositor's session for a test: programs in process groups of their
// own, private message buses, and the orphans they leave (bus-activated services) reaped by
// this process, which makes itself their subreaper.

// Starts `argv` (searched on $PATH) with `env` added to this process's environment (or, with
// `onlyEnv`, as its whole environment), output to /dev/null unless TK_TEST_VERBOSE is set
// (stdout to `stdoutFd` when given); -1 on failure.
pid_t SpawnInGroup(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   int stdoutFd = -1, bool onlyEnv = false);
// Ends the program's whole process group and reaps the program.
void KillGroupAndReap(pid_t pid);
// A message bus of our own; its address, empty when it did not start.
std::string StartPrivateBus(pid_t& pid);
// From now on orphans of our children become ours.
void AdoptOrphans();
// Reaps every child already gone, waiting up to a second for stragglers.
void ReapOrphans();

}  // namespace tk::test
