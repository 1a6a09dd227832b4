#include "sway_session.h"

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

SwaySession::SwaySession() {
    // sway starts its config's commands in processes it lets go of; they are ours to reap.
    AdoptOrphans();
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
    ReapOrphans();
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
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) KillGroupAndReap(*it);
    KillGroupAndReap(m_sway);
    // XWayland and anything sway started for its config were left to us.
    ReapOrphans();
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
    KillGroupAndReap(pid);
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
