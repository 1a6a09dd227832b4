#include "wlroots_session.h"

#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "session_processes.h"
#include "virtual_desktop.h"  // WaitFor

namespace tk::test {

namespace {

constexpr uid_t kNobody = 65534;

// The session's processes, as nobody under root; the pid stays the program's own, since
// setpriv execs it.
pid_t SpawnWith(std::vector<std::string> argv, const std::vector<std::string>& env) {
    if (::geteuid() == 0) {
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    // Only what the session sets: this process may point at an earlier session by now.
    return SpawnInGroup(argv, env, -1, /*onlyEnv=*/true);
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

WlrootsSession::WlrootsSession(Compositor compositor) {
    // The compositor starts its start-up commands in processes it lets go of; they are ours to
    // reap.
    AdoptOrphans();
    const bool sway = compositor == Compositor::Sway;
    char dir[] = "/tmp/tk-wlroots-XXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        m_error = "cannot make a runtime folder";
        return;
    }
    m_runtimeDir = dir;
    // Each tells where XWayland listens once it runs its start-up commands.
    const std::string tellDisplay = "printenv DISPLAY > " + m_runtimeDir + "/display.tmp && mv " +
                                    m_runtimeDir + "/display.tmp " + m_runtimeDir + "/display";
    if (sway) {
        std::ofstream config(m_runtimeDir + "/config");
        config << "xwayland enable\n" << "exec " << tellDisplay << "\n";
    } else {
        std::ofstream(m_runtimeDir + "/autostart") << tellDisplay << "\n";
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
    const char* name = sway ? "sway" : "labwc";
    m_compositor = sway ? SpawnWith({"sway", "-c", m_runtimeDir + "/config"}, env)
                        : SpawnWith({"labwc", "-C", m_runtimeDir}, env);
    if (m_compositor <= 0) {
        m_error = std::string("cannot start ") + name;
        return;
    }
    const bool ready = WaitFor(
        [&] {
            if (sway) m_ipc = FindInDir(m_runtimeDir, "sway-ipc.", ".sock");
            m_wayland = FindInDir(m_runtimeDir, "wayland-", "");
            std::ifstream display(m_runtimeDir + "/display");
            std::getline(display, m_xDisplay);
            return (!sway || !m_ipc.empty()) && !m_wayland.empty() && !m_xDisplay.empty();
        },
        30000);
    // The config's command has done its work; reap it.
    ReapOrphans();
    if (!ready) {
        m_error = std::string(name) + (::waitpid(m_compositor, nullptr, WNOHANG) == m_compositor
                                           ? " exited at start"
                                           : " did not become ready");
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

WlrootsSession::~WlrootsSession() {
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) KillGroupAndReap(*it);
    KillGroupAndReap(m_compositor);
    // XWayland and anything the compositor started at start were left to us.
    ReapOrphans();
    if (!m_runtimeDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_runtimeDir, ignored);
    }
}

std::vector<std::string> WlrootsSession::ClientEnvironment() const {
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + m_runtimeDir,
            "HOME=" + m_runtimeDir,
            "WAYLAND_DISPLAY=" + m_wayland,
            "DISPLAY=" + m_xDisplay,
            "LANG=C.UTF-8",
            "PATH=/usr/local/bin:/usr/bin:/bin"};
    if (!m_ipc.empty()) env.push_back("SWAYSOCK=" + m_ipc);
    return env;
}

void WlrootsSession::ApplyToEnvironment() const {
    ::setenv("WAYLAND_DISPLAY", m_wayland.c_str(), 1);
    if (m_ipc.empty()) {
        ::unsetenv("SWAYSOCK");
    } else {
        ::setenv("SWAYSOCK", m_ipc.c_str(), 1);
    }
    ::setenv("DISPLAY", m_xDisplay.c_str(), 1);
}

pid_t WlrootsSession::Spawn(const std::vector<std::string>& argv) {
    const pid_t pid = SpawnWith(argv, ClientEnvironment());
    if (pid > 0) m_children.push_back(pid);
    return pid;
}

void WlrootsSession::Kill(pid_t pid) {
    std::erase(m_children, pid);
    KillGroupAndReap(pid);
}

bool WlrootsSession::Message(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"swaymsg", "-s", m_ipc};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = SpawnWith(argv, ClientEnvironment());
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tk::test
