// The window pass of a sweep (list the windows, then read each window's executable) against
// what a script would do on the same X server: `wmctrl -lp` plus one `readlink` per window.
//
//   tk_bench_windows [--runs N]
//
// Exits 1 when 200 windows take more than a tenth of the reference's time.

#include "detection/sweep.h"
#include "test_history.h"
#include "platform/linux/posix/posix_file_system.h"
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

#include "platform/linux/x11/x11_window_system.h"
#include "ready_desktop.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kTargetRatio = 0.10;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs a program (no shell) with DISPLAY set and returns what it wrote to stdout.
std::string Capture(const std::vector<std::string>& argv, const std::string& display) {
    std::vector<std::string> envStrings{"DISPLAY=" + display};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) envStrings.emplace_back(*e);
    }
    std::vector<char*> env;
    for (auto& s : envStrings) env.push_back(s.data());
    env.push_back(nullptr);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    if (rc == 0) {
        char buffer[8192];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
        }
        ::waitpid(pid, nullptr, 0);
    }
    ::close(fds[0]);
    return out;
}

// The reference: one wmctrl for the list, then one readlink process per listed window.
std::vector<std::string> ReferencePass(const std::string& display) {
    std::vector<std::string> executables;
    std::istringstream lines(Capture({"wmctrl", "-lp"}, display));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, desktop, pid;
        fields >> id >> desktop >> pid;
        if (pid.empty() || pid == "0") continue;
        std::string target = Capture({"readlink", "/proc/" + pid + "/exe"}, display);
        if (!target.empty() && target.back() == '\n') target.pop_back();
        executables.push_back(target);
    }
    return executables;
}

std::vector<std::string> OurPass(tk::X11WindowSystem& system) {
    std::vector<std::string> executables;
    for (const tk::WindowInfo& w : system.ListWindows().windows) {
        if (w.pid == 0) continue;
        if (auto exe = system.ExecutableOfProcess(w.pid)) executables.push_back(*exe);
    }
    return executables;
}

// Helper mode: a client with `count` titled windows that say whose they are, alive until killed.
int MakeWindows(int count) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto atom = [&](const char* name) {
        auto* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return a;
    };
    const xcb_atom_t netWmPid = atom("_NET_WM_PID");
    const xcb_atom_t netWmName = atom("_NET_WM_NAME");
    const xcb_atom_t utf8 = atom("UTF8_STRING");
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    for (int i = 0; i < count; ++i) {
        const xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        const std::string title = "窗口 " + std::to_string(i);
        const std::string latin = "window " + std::to_string(i);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netWmPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netWmName, utf8, 8,
                            static_cast<uint32_t>(title.size()), title.data());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(latin.size()), latin.data());
        xcb_map_window(c, w);
    }
    xcb_flush(c);
    while (true) ::pause();
}

std::string SelfPath() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

struct Row {
    int windows = 0;
    double ours = 0;
    double reference = 0;
};

}  // namespace

namespace {

class NoIcons final : public tk::FileIcons {
public:
    std::optional<tk::FileIcon> IconOf(const std::string&) override { return tk::FileIcon{}; }
};

class NoShellWindows final : public tk::ShellWindows {
public:
    tk::ShellWindowsResult List() override { return {}; }
};

// The sweep as the program runs it: window pass and shell-window pass into a history that
// already holds 10,000 entries of pages, folders and programs.
double WholeSweep(tk::X11WindowSystem& system, int runs) {
    tk::PosixPathDialect dialect("/home/u");
    tk::PosixFileSystem files;
    NoIcons icons;
    NoShellWindows shell;
    tk::test::TestHistory history(dialect, files, icons);
    for (int i = 0; i < 10000; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 3) {
            case 0: history.AddDoc("http://host" + std::to_string(i % 700) + ".org/p" + n, "t", false, false); break;
            case 1: history.AddDoc("file:///home/u/d" + std::to_string(i % 300) + "/f" + n, "t", false, false); break;
            default: history.AddDoc("/opt/app" + n + "/bin/tool", "tool", true, false); break;
        }
    }
    tk::Sweep sweep(history.records(), files, system, shell, tk::StderrDiagnostics());
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        sweep.CheckOpenDocs();
        times.push_back(MillisecondsSince(start));
    }
    return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make-windows") == 0) {
        return MakeWindows(std::atoi(argv[2]));
    }
    int runs = 20;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));

    auto desktop = tk::test::StartReadyDesktop();
    if (!desktop) {
        std::fprintf(stderr, "no private desktop with a window manager could be started\n");
        return 2;
    }
    tk::X11WindowSystem::Options options;
    options.displayName = desktop->Display();
    tk::X11WindowSystem system(options);

    std::vector<Row> rows;
    double sweepMs = 0;
    for (int count : {20, 200}) {
        const pid_t helper = desktop->Spawn({SelfPath(), "--make-windows", std::to_string(count)});
        const bool managed = tk::test::WaitFor(
            [&] {
                const tk::WindowSnapshot s = system.ListWindows();
                return std::count_if(s.windows.begin(), s.windows.end(),
                                     [&](const tk::WindowInfo& w) {
                                         return w.pid == helper && w.visible;
                                     }) == count;
            },
            60000);
        if (!managed) {
            std::fprintf(stderr, "the window manager did not manage %d windows in time\n", count);
            return 2;
        }
        // Both sides must see the same thing for the times to be comparable.
        const auto ours = OurPass(system);
        const auto reference = ReferencePass(desktop->Display());
        if (ours.size() != static_cast<std::size_t>(count) ||
            std::multiset<std::string>(ours.begin(), ours.end()) !=
                std::multiset<std::string>(reference.begin(), reference.end())) {
            std::fprintf(stderr, "the two passes disagree: %zu against %zu executables\n",
                         ours.size(), reference.size());
            return 2;
        }

        std::vector<double> ourTimes, referenceTimes;
        for (int run = 0; run < runs; ++run) {
            auto start = Clock::now();
            OurPass(system);
            ourTimes.push_back(MillisecondsSince(start));
            start = Clock::now();
            ReferencePass(desktop->Display());
            referenceTimes.push_back(MillisecondsSince(start));
        }
        rows.push_back({count, Median(ourTimes), Median(referenceTimes)});
        if (count == 200) sweepMs = WholeSweep(system, runs);

        desktop->Kill(helper);
        tk::test::WaitFor([&] {
            const tk::WindowSnapshot s = system.ListWindows();
            return std::none_of(s.windows.begin(), s.windows.end(),
                                [&](const tk::WindowInfo& w) { return w.pid == helper; });
        });
    }

    std::printf("Window pass on a private Xvfb with openbox, median of %d runs each\n", runs);
    std::printf(
        "(ours: ListWindows + ExecutableOfProcess per window;\n"
        " reference: wmctrl -lp + one readlink process per window)\n\n");
    std::printf("%8s  %12s  %16s  %8s\n", "windows", "ours (ms)", "reference (ms)", "ratio");
    for (const Row& r : rows) {
        std::printf("%8d  %12.3f  %16.3f  %8.4f\n", r.windows, r.ours, r.reference,
                    r.ours / r.reference);
    }
    std::printf("\nwhole CheckOpenDocs over 200 windows with a 10,000-entry history: %.3f ms"
                " (median; %.4f of the reference's window listing)\n",
                sweepMs, sweepMs / rows.back().reference);
    const Row& last = rows.back();
    const bool met = last.ours <= kTargetRatio * last.reference;
    std::printf("\ntarget at %d windows: ratio <= %.2f -> %s\n", last.windows, kTargetRatio,
                met ? "met" : "MISSED");
    return met ? 0 : 1;
}
