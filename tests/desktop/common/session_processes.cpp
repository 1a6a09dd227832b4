#include "session_processes.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tk::test {

pid_t SpawnInGroup(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   int stdoutFd, bool onlyEnv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        if (onlyEnv) ::clearenv();
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        const int devnull = ::open("/dev/null", O_RDWR);
        const bool verbose = std::getenv("TK_TEST_VERBOSE") != nullptr;
        ::dup2(devnull, 0);
        if (stdoutFd >= 0) {
            ::dup2(stdoutFd, 1);
        } else if (!verbose) {
            ::dup2(devnull, 1);
        }
        if (!verbose) ::dup2(devnull, 2);
        for (int fd = 3; fd < 1024; ++fd) ::close(fd);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

void KillGroupAndReap(pid_t pid) {
    if (pid <= 0) return;
    ::kill(-pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            ::kill(-pid, SIGKILL);  // whatever of the group outlived its leader
            return;
        }
        ::usleep(10000);
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

std::string StartPrivateBus(pid_t& pid) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    pid = SpawnInGroup({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {}, fds[1]);
    ::close(fds[1]);
    std::string address;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0) {
        char c;
        if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
        address.push_back(c);
    }
    ::close(fds[0]);
    return address;
}

void AdoptOrphans() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

void ReapOrphans() {
    for (int i = 0; i < 100; ++i) {
        const pid_t pid = ::waitpid(-1, nullptr, WNOHANG);
        if (pid < 0 && errno == ECHILD) return;
        if (pid == 0) ::usleep(10000);
    }
}

}  // namespace tk::test
