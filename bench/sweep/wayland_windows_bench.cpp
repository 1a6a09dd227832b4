// The native window pass under sway (the compositor's toplevel list, sway's tree for the
// processes, then each window's executable) against what a script would do on the same
// compositor: `swaymsg -t get_tree` plus one desktop-entry lookup per window.
//
//   tk_bench_wayland_windows [--runs N]
//
// Our pass is measured twice: with sway's IPC (pids), and as on the other wlroots compositors
// (each app id's desktop entry). Needs sway, foot and swaymsg. Exits 1 when either takes
// longer than the reference. Also shown: a sweep's two askings (folder titles, then windows)
// with one shared list against two lists.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gio/gdesktopappinfo.h>
#include <nlohmann/json.hpp>

#include "platform/linux/shared_native_lister.h"
#include "platform/linux/wayland/wlroots_window_lister.h"
#include "platform/linux/x11/x11_window_system.h"
#include "wlroots_session.h"
#include "virtual_desktop.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Capture(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    if (rc == 0) {
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, n);
        ::waitpid(pid, nullptr, 0);
    }
    ::close(fds[0]);
    return out;
}

void CollectAppIds(const nlohmann::json& node, std::vector<std::string>& appIds) {
    if (!node.is_object()) return;
    if (node.contains("pid") && node["pid"].is_number_integer()) {
        const auto& id = node["app_id"];
        appIds.push_back(id.is_string() ? id.get<std::string>() : std::string());
    }
    for (const char* key : {"nodes", "floating_nodes"}) {
        if (node.contains(key)) {
            for (const auto& child : node[key]) CollectAppIds(child, appIds);
        }
    }
}

// The reference: one swaymsg for the tree, then each window's desktop entry and its program.
std::vector<std::string> ReferencePass(const std::string& socket) {
    std::vector<std::string> appIds;
    CollectAppIds(nlohmann::json::parse(Capture({"swaymsg", "-s", socket, "-r", "-t", "get_tree"}),
                                        nullptr, false),
                  appIds);
    std::vector<std::string> executables;
    for (const std::string& id : appIds) {
        GDesktopAppInfo* info = g_desktop_app_info_new((id + ".desktop").c_str());
        if (info == nullptr) continue;
        gchar* path = g_find_program_in_path(g_app_info_get_executable(G_APP_INFO(info)));
        if (path != nullptr) executables.emplace_back(path);
        g_free(path);
        g_object_unref(info);
    }
    return executables;
}

std::vector<std::string> OurPass(tk::WlrootsWindowLister& lister) {
    std::vector<std::string> executables;
    for (const tk::NativeWindow& w : lister.List().windows) {
        if (auto exe = tk::ProcessExecutable(w.info.pid)) {
            executables.push_back(*exe);
        } else if (!w.info.executable.empty()) {
            executables.push_back(w.info.executable);  // another wlroots compositor's road
        }
    }
    return executables;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 10;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));

    tk::test::WlrootsSession sway;
    if (!sway.Ok()) {
        std::fprintf(stderr, "no private sway: %s\n", sway.Error().c_str());
        return 2;
    }
    sway.ApplyToEnvironment();
    tk::WlrootsWindowLister::Options options;
    options.swaySocket = sway.SwaySocket();
    tk::WlrootsWindowLister lister(options);
    // The road of the wlroots compositors without sway's IPC: app id -> desktop entry.
    tk::WlrootsWindowLister entries(tk::WlrootsWindowLister::Options{});

    // One foot server shows every window, each from a client that hands it over and exits.
    constexpr int kWindows = 200;
    const std::string server = sway.WaylandSocket() + "-foot.sock";
    sway.Spawn({"foot", "--server=" + server});
    if (!tk::test::WaitFor([&] { return ::access(server.c_str(), F_OK) == 0; }, 30000)) {
        std::fprintf(stderr, "the foot server did not start\n");
        return 2;
    }
    for (int i = 0; i < kWindows; ++i) {
        sway.Spawn({"footclient", "--server-socket=" + server, "--no-wait", "--title",
                    "窗口 " + std::to_string(i), "--", "sleep", "3600"});
    }
    if (!tk::test::WaitFor([&] { return lister.List().windows.size() == kWindows; }, 120000)) {
        std::fprintf(stderr, "sway did not show %d windows in time\n", kWindows);
        return 2;
    }
    const auto ours = OurPass(lister);
    const auto reference = ReferencePass(sway.SwaySocket());
    if (ours.size() != kWindows || reference.size() != kWindows ||
        ours.front() != reference.front()) {
        std::fprintf(stderr, "the two passes disagree: %zu against %zu executables\n", ours.size(),
                     reference.size());
        return 2;
    }

    if (OurPass(entries) != ours) {
        std::fprintf(stderr, "the desktop entries name other programs than sway's pids\n");
        return 2;
    }

    tk::SharedNativeLister shared(std::make_unique<tk::WlrootsWindowLister>(options));
    const auto titleAsker = shared.Asker();
    const auto windowAsker = shared.Asker();
    std::vector<double> ourTimes, entryTimes, referenceTimes, sharedTimes, twiceTimes;
    for (int run = 0; run < runs; ++run) {
        auto sweep = Clock::now();
        titleAsker->List();
        windowAsker->List();
        sharedTimes.push_back(MillisecondsSince(sweep));
        sweep = Clock::now();
        lister.List();
        lister.List();
        twiceTimes.push_back(MillisecondsSince(sweep));
        auto start = Clock::now();
        OurPass(lister);
        ourTimes.push_back(MillisecondsSince(start));
        start = Clock::now();
        OurPass(entries);
        entryTimes.push_back(MillisecondsSince(start));
        start = Clock::now();
        ReferencePass(sway.SwaySocket());
        referenceTimes.push_back(MillisecondsSince(start));
    }
    const double oursMs = Median(ourTimes), entriesMs = Median(entryTimes),
                 referenceMs = Median(referenceTimes);
    std::printf("Native window pass under headless sway, %d foot windows, median of %d runs\n",
                kWindows, runs);
    std::printf(
        "(ours: foreign-toplevel list + sway tree + /proc per window;\n"
        " reference: swaymsg -t get_tree + one desktop-entry lookup per window)\n\n");
    std::printf("%-34s  %10s  %8s\n", "", "ms", "ratio");
    std::printf("%-34s  %10.3f  %8.4f\n", "ours, pids from sway's tree", oursMs,
                oursMs / referenceMs);
    std::printf("%-34s  %10.3f  %8.4f\n", "ours, app id -> desktop entry", entriesMs,
                entriesMs / referenceMs);
    std::printf("%-34s  %10.3f  %8.4f\n", "reference", referenceMs, 1.0);
    std::printf("%-34s  %10.3f\n", "a sweep's two askings, shared", Median(sharedTimes));
    std::printf("%-34s  %10.3f\n", "a sweep's two askings, unshared", Median(twiceTimes));
    const bool met = oursMs <= referenceMs && entriesMs <= referenceMs;
    std::printf("\ntarget: ratio <= 1 -> %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
