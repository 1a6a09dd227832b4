#include "virtual_desktop.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace tk::test {

namespace {

void KillAndReap(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

pid_t SpawnWithEnv(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   int keepFd = -1) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, 0);
            if (std::getenv("TK_TEST_VERBOSE") == nullptr) {
                ::dup2(devnull, 1);
                ::dup2(devnull, 2);
            }
        }
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != keepFd) ::close(fd);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

}  // namespace

VirtualDesktop::VirtualDesktop() : VirtualDesktop(Options{}) {}

VirtualDesktop::VirtualDesktop(Options options) {
    int fds[2];
    if (::pipe(fds) != 0) {
        m_error = "pipe failed";
        return;
    }
    const std::string screen =
        std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
    std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                     screen, "-nolisten", "tcp", "-noreset", "+extension", "RANDR"};
    // A server that cannot say which process a client is, as remote and older servers are.
    if (!options.clientIds) args.insert(args.end(), {"-extension", "X-Resource"});
    m_xvfb = SpawnWithEnv(args, {}, fds[1]);
    ::close(fds[1]);
    // Xvfb writes the number and the newline separately: read up to the newline.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (true) {
        if (::poll(&p, 1, 10000) <= 0) break;
        char c;
        ssize_t n = ::read(fds[0], &c, 1);
        if (n <= 0 || c == '\n') break;
        number.push_back(c);
    }
    ::close(fds[0]);
    if (number.empty()) {
        m_error = "Xvfb did not start";
        return;
    }
    m_display = ":" + number;
    if (options.windowManager) {
        pid_t wm = Spawn({"openbox", "--sm-disable"});
        if (wm < 0) {
            m_error = "openbox did not start";
            return;
        }
        // The window manager is ready once it has published its check window.
        bool ready = WaitFor([&] {
            xcb_connection_t* c = xcb_connect(m_display.c_str(), nullptr);
            bool found = false;
            if (!xcb_connection_has_error(c)) {
                const char* name = "_NET_SUPPORTING_WM_CHECK";
                auto ck = xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name);
                xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, ck, nullptr);
                if (atom && atom->atom != XCB_ATOM_NONE) {
                    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
                    auto pk = xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1);
                    xcb_get_property_reply_t* r = xcb_get_property_reply(c, pk, nullptr);
                    found = r && xcb_get_property_value_length(r) == 4;
                    std::free(r);
                }
                std::free(atom);
            }
            xcb_disconnect(c);
            return found;
        }, 30000);
        if (!ready) {
            m_error = "openbox did not become ready";
            return;
        }
        // The check window comes before openbox handles map requests, and a window mapped in
        // between is never managed: map a probe until it is.
        xcb_connection_t* c = xcb_connect(m_display.c_str(), nullptr);
        bool managed = false;
        if (!xcb_connection_has_error(c)) {
            const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
            const xcb_window_t probe = xcb_generate_id(c);
            xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 8, 8, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
            int polls = 0;
            managed = WaitFor([&] {
                if (polls++ % 5 == 0) {
                    xcb_map_window(c, probe);
                    xcb_flush(c);
                }
                auto cookie = xcb_get_window_attributes(c, probe);
                xcb_get_window_attributes_reply_t* attrs =
                    xcb_get_window_attributes_reply(c, cookie, nullptr);
                const bool viewable = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
                std::free(attrs);
                return viewable;
            }, 30000);
            xcb_destroy_window(c, probe);
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        }
        xcb_disconnect(c);
        if (!managed) {
            m_error = "openbox does not manage windows";
            return;
        }
    }
    m_ok = true;
}

VirtualDesktop::~VirtualDesktop() {
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) KillAndReap(*it);
    KillAndReap(m_xvfb);
}

pid_t VirtualDesktop::Spawn(const std::vector<std::string>& argv,
                            const std::vector<std::string>& env) {
    std::vector<std::string> full = env;
    full.push_back("DISPLAY=" + m_display);
    pid_t pid = SpawnWithEnv(argv, full);
    if (pid > 0) m_children.push_back(pid);
    return pid;
}

void VirtualDesktop::Kill(pid_t pid) {
    KillAndReap(pid);
    std::erase(m_children, pid);
}

}  // namespace tk::test
