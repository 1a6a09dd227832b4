#include "sway_session.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "virtual_desktop.h"  // WaitFor

namespace tk::test {

namespace {

constexpr uid_t kNobody = 65534;

void KillAndReap(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

pid_t SpawnWith(std::vector<std::string> argv, const std::vector<std::string>& env) {
    if (::geteuid() == 0) {
        // setpriv execs the program itself, so the pid stays the client's.
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    std::vector<char*> envp;
    for (auto& e : envCopy) envp.push_back(e.data());
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        const int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, 0);
            if (std::getenv("TK_TEST_VERBOSE") == nullptr) {
                ::dup2(devnull, 1);
                ::dup2(devnull, 2);
            }
        }
        for (int fd = 3; fd < 1024; ++fd) ::close(fd);
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

std::string FindInDir(const std::string& dir, const std::string& prefix,
                      const std::string& suffix) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return {};
    std::string found;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.rfind(prefix, 0) == 0 && !name.ends_with(".lock") &&
            name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            found = dir + "/" + name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

}  // namespace

SwaySession::SwaySession() {
    // sway starts its config's commands in processes it lets go of; they are ours to reap.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    char dir[] = "/tmp/tk-sway-XXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        m_error = "cannot make a runtime folder";
        return;
    }
    m_runtimeDir = dir;
    {
        std::ofstream config(m_runtimeDir + "/config");
        config << "xwayland enable\n"
               << "exec printenv DISPLAY > " << m_runtimeDir << "/display.tmp && mv "
               << m_runtimeDir << "/display.tmp " << m_runtimeDir << "/display\n";
    }
    if (::geteuid() == 0 && ::chown(dir, kNobody, kNobody) != 0) {
        m_error = "cannot hand the runtime folder to nobody";
        return;
    }
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + m_runtimeDir,
                                    "HOME=" + m_runtimeDir,
                                    "WLR_BACKENDS=headless",
                                    "WLR_RENDERER=pixman",
                                    "WLR_LIBINPUT_NO_DEVICES=1",
                                    "LANG=C.UTF-8",
                                    "PATH=/usr/local/bin:/usr/bin:/bin"};
    m_sway = SpawnWith({"sway", "-c", m_runtimeDir + "/config"}, env);
    if (m_sway <= 0) {
        m_error = "cannot start sway";
        return;
    }
    const bool ready = WaitFor(
        [&] {
            m_ipc = FindInDir(m_runtimeDir, "sway-ipc.", ".sock");
            m_wayland = FindInDir(m_runtimeDir, "wayland-", "");
            std::ifstream display(m_runtimeDir + "/display");
            std::getline(display, m_xDisplay);
            return !m_ipc.empty() && !m_wayland.empty() && !m_xDisplay.empty();
        },
        30000);
    // The config's command has done its work; reap it.
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (!ready) {
        m_error = ::waitpid(m_sway, nullptr, WNOHANG) == m_sway ? "sway exited at start"
                                                                : "sway did not become ready";
        return;
    }
    m_ok = true;
    // XWayland lets in only the user it runs as; the test's own X connection comes from root.
    if (::geteuid() == 0) {
        const pid_t xhost = SpawnWith({"xhost", "+si:localuser:root"}, ClientEnvironment());
        int status = 0;
        if (xhost <= 0 || ::waitpid(xhost, &status, 0) != xhost || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            m_ok = false;
            m_error = "cannot let root into XWayland";
        }
    }
}

SwaySession::~SwaySession() {
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) KillAndReap(*it);
    KillAndReap(m_sway);
    // XWayland and anything sway started for its config were left to us.
    for (int i = 0; i < 100; ++i) {
        const pid_t pid = ::waitpid(-1, nullptr, WNOHANG);
        if (pid < 0 && errno == ECHILD) break;
        if (pid == 0) ::usleep(10000);
    }
    if (!m_runtimeDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_runtimeDir, ignored);
    }
}

std::vector<std::string> SwaySession::ClientEnvironment() const {
    return {"XDG_RUNTIME_DIR=" + m_runtimeDir,
            "HOME=" + m_runtimeDir,
            "WAYLAND_DISPLAY=" + m_wayland,
            "DISPLAY=" + m_xDisplay,
            "SWAYSOCK=" + m_ipc,
            "LANG=C.UTF-8",
            "PATH=/usr/local/bin:/usr/bin:/bin"};
}

void SwaySession::ApplyToEnvironment() const {
    ::setenv("WAYLAND_DISPLAY", m_wayland.c_str(), 1);
    ::setenv("SWAYSOCK", m_ipc.c_str(), 1);
    ::setenv("DISPLAY", m_xDisplay.c_str(), 1);
}

pid_t SwaySession::Spawn(const std::vector<std::string>& argv) {
    const pid_t pid = SpawnWith(argv, ClientEnvironment());
    if (pid > 0) m_children.push_back(pid);
    return pid;
}

void SwaySession::Kill(pid_t pid) {
    std::erase(m_children, pid);
    KillAndReap(pid);
}

bool SwaySession::Message(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"swaymsg", "-s", m_ipc};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = SpawnWith(argv, ClientEnvironment());
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tk::test
