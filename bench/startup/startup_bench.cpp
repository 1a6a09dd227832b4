// Start-up of the program against a bare Qt Widgets window, both started again and again on
// one private X server (Xvfb + openbox), alternating: the time from the fork to the first
// frame of the main window, and the peak memory (VmHWM) at that frame. The program runs from a
// copy beside a generated defualt.ini with a long history, laid anew for every run; a second
// copy runs with no history, which shows what loading the history costs. Every program finds
// a session bus of the run's own, as on any desktop; --bus without measures a start with none,
// --bus both measures both ways in one run.
//
//   tk_bench_startup [--runs N] [--entries N] [--program PATH] [--reference PATH]
//                    [--reference-label TEXT] [--bus with|without|both] [--keep] [--verbose]

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "frame_watcher.h"
#include "history/settings.h"
#include "history_file.h"
#include "virtual_desktop.h"

namespace fs = std::filesystem;
using tk::bench::FirstFrame;
using tk::bench::FrameWatcher;

namespace {

constexpr const char* kProgramTitle = "TarvoKelmora1.0";
constexpr const char* kReferenceTitle = "TkStartupReference";
// The program's main window always opens at this size once its settings are loaded.
constexpr int kWindowWidth = 500;
constexpr int kWindowHeight = 480;
// Time ratio and extra memory the program may take over the bare window.
constexpr double kTimeRatioTarget = 1.3;
constexpr double kExtraMemoryTargetMiB = 30;
constexpr int kFirstFrameTimeoutMs = 30000;

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) { gStop = 1; }

struct Options {
    int runs = 11;
    int entries = 10000;
    std::string program = TK_PROGRAM_PATH;
    std::string reference = TK_REFERENCE_PATH;
    std::string referenceLabel = "最近打开的文档";  // a Chinese window draws CJK glyphs
    bool withBus = true;
    bool withoutBus = false;
    bool keep = false;
    bool verbose = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue)
            o.runs = std::atoi(argv[++i]);
        else if (arg == "--entries" && hasValue)
            o.entries = std::atoi(argv[++i]);
        else if (arg == "--program" && hasValue)
            o.program = argv[++i];
        else if (arg == "--reference" && hasValue)
            o.reference = argv[++i];
        else if (arg == "--reference-label" && hasValue)
            o.referenceLabel = argv[++i];
        else if (arg == "--bus" && hasValue) {
            const std::string mode = argv[++i];
            if (mode != "with" && mode != "without" && mode != "both") return false;
            o.withBus = mode != "without";
            o.withoutBus = mode != "with";
        }
        else if (arg == "--keep")
            o.keep = true;
        else if (arg == "--verbose")
            o.verbose = true;
        else
            return false;
    }
    return o.runs > 0 && o.entries > 0;
}

// One way of starting: an executable copied into a folder of its own, with or without a
// settings file beside it, with or without a session bus.
struct Variant {
    std::string caption;
    std::string folder;
    std::vector<std::string> argv;
    std::string title;
    std::string history;  // laid beside the executable before every run; empty: no file
    bool bus = true;
    std::vector<FirstFrame> runs;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename Field>
std::vector<double> Column(const Variant& v, Field field) {
    std::vector<double> values;
    for (const FirstFrame& run : v.runs) values.push_back(field(run));
    return values;
}

double MedianFrameMs(const Variant& v) {
    return Median(Column(v, [](auto& r) { return r.frameMs; }));
}
double MedianPeakMiB(const Variant& v) {
    return Median(Column(v, [](auto& r) { return r.peakRssKiB / 1024.0; }));
}

// Copies an executable, and the modules (*.so) and helpers (its name and a suffix) it starts
// from its own folder, into `folder`.
bool CopyExecutable(const std::string& from, const std::string& folder, std::string& copied) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::vector<fs::path> files{from};
    for (const auto& entry : fs::directory_iterator(fs::path(from).parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        const std::string helperPrefix = fs::path(from).filename().string() + "-";
        if (entry.is_regular_file(ec) &&
            (entry.path().extension() == ".so" || name.rfind(helperPrefix, 0) == 0)) {
            files.push_back(entry.path());
        }
    }
    for (const fs::path& file : files) {
        fs::copy_file(file, folder / file.filename(), fs::copy_options::overwrite_existing, ec);
        if (ec) {
            std::fprintf(stderr, "cannot copy %s: %s\n", file.c_str(), ec.message().c_str());
            return false;
        }
    }
    copied = (folder / fs::path(from).filename()).string();
    return true;
}

// Other work on the machine shows in every time below; the load average says how much.
std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five;
    file >> one >> five;
    return one.empty() ? "unknown" : one + " " + five;
}

void ClearFolder(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) fs::remove_all(entry.path(), ec);
}

// Whether a server listens at the Unix socket `path`.
bool Listening(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

class Bench {
public:
    Bench(const Options& options, const std::string& workDir)
        : m_options(options), m_work(workDir) {}

    bool Prepare();
    bool Run();
    void Report() const;

private:
    bool StartBus();
    bool RunOnce(Variant& v);
    void ReportSetting(bool bus) const;

    const Options& m_options;
    std::string m_work;
    std::string m_home;
    std::string m_sockets;
    std::vector<std::string> m_env;
    std::string m_busAddress;  // DBUS_SESSION_BUS_ADDRESS=... of the run's own bus
    tk::bench::HistoryMix m_mix;
    // For each setting of the bus: the reference, the program with history, without.
    std::vector<Variant> m_variants;
    tk::test::VirtualDesktop m_desktop;
    std::unique_ptr<FrameWatcher> m_watcher;
};

bool Bench::Prepare() {
    m_home = m_work + "/home";
    m_sockets = m_work + "/tmp";
    const std::string runtime = m_work + "/runtime";
    for (const std::string& dir : {m_home + "/.config", m_sockets, runtime})
        fs::create_directories(dir);
    ::chmod(runtime.c_str(), 0700);
    // The programs see a home, settings and temporary files of their own, never the user's.
    m_env = {"HOME=" + m_home,
             "XDG_CONFIG_HOME=" + m_home + "/.config",
             "XDG_CACHE_HOME=" + m_home + "/.cache",
             "XDG_DATA_HOME=" + m_home + "/.local/share",
             "XDG_RUNTIME_DIR=" + runtime,
             "TMPDIR=" + m_sockets,  // where the program's single-instance socket goes
             "LANG=C.UTF-8",
             "QT_QPA_PLATFORM=xcb"};

    const std::string history = m_work + "/history.ini";
    m_mix = tk::bench::WriteHistoryFile(history, m_options.entries, m_home);
    if (!m_mix.error.empty()) {
        std::fprintf(stderr, "cannot write the history: %s\n", m_mix.error.c_str());
        return false;
    }

    std::string reference, programFull, programEmpty;
    if (!CopyExecutable(m_options.reference, m_work + "/reference", reference) ||
        !CopyExecutable(m_options.program, m_work + "/program-history", programFull) ||
        !CopyExecutable(m_options.program, m_work + "/program-empty", programEmpty)) {
        return false;
    }
    for (const bool bus : {true, false}) {
        if (!(bus ? m_options.withBus : m_options.withoutBus)) continue;
        m_variants.push_back({"bare Qt window",
                              m_work + "/reference",
                              {reference, std::to_string(kWindowWidth),
                               std::to_string(kWindowHeight), kReferenceTitle,
                               m_options.referenceLabel},
                              kReferenceTitle,
                              "",
                              bus,
                              {}});
        m_variants.push_back({"program, " + std::to_string(m_options.entries) + " entries",
                              m_work + "/program-history",
                              {programFull},
                              kProgramTitle,
                              history,
                              bus,
                              {}});
        m_variants.push_back({"program, no history", m_work + "/program-empty", {programEmpty},
                              kProgramTitle, "", bus, {}});
    }

    if (!m_desktop.Ok()) {
        std::fprintf(stderr, "virtual desktop %s: %s\n", m_desktop.Display().c_str(),
                     m_desktop.Error().c_str());
        return false;
    }
    if (m_options.withBus && !StartBus()) return false;
    m_watcher = std::make_unique<FrameWatcher>(m_desktop.Display(), &gStop);
    if (!m_watcher->Ok()) {
        std::fprintf(stderr, "%s\n", m_watcher->Error().c_str());
        return false;
    }
    return true;
}

// One session bus for the whole run, as a desktop has: what the programs start through it
// (the accessibility bus, a tray watcher) is started by the warm-up and stays, as it would.
bool Bench::StartBus() {
    const std::string socket = m_work + "/bus";
    const pid_t pid = m_desktop.Spawn(
        {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + socket},
        m_env);
    for (int waited = 0; pid > 0 && waited < 10000; waited += 10) {
        if (Listening(socket)) {
            m_busAddress = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + socket;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "no session bus: dbus-daemon did not start (package dbus)\n");
    return false;
}

bool Bench::RunOnce(Variant& v) {
    const std::string settings = v.folder + "/" + std::string(tk::kSettingsFileName);
    std::error_code ec;
    // Every run reads the same history and finds no socket of an earlier instance.
    if (v.history.empty())
        fs::remove(settings, ec);
    else
        fs::copy_file(v.history, settings, fs::copy_options::overwrite_existing, ec);
    ClearFolder(m_sockets);

    m_watcher->Arm(v.title);
    const FrameWatcher::Clock::time_point start = FrameWatcher::Clock::now();
    std::vector<std::string> env = m_env;
    if (v.bus) env.push_back(m_busAddress);
    const pid_t pid = m_desktop.Spawn(v.argv, env);
    FirstFrame frame = m_watcher->WaitForFirstFrame(pid, start, kFirstFrameTimeoutMs);
    ::kill(pid, SIGKILL);
    m_desktop.Kill(pid);
    m_watcher->WaitGone(2000);
    // Lets the window manager finish with the window that went away.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    if (!frame.ok) {
        std::fprintf(stderr, "%s: %s\n", v.caption.c_str(), frame.error.c_str());
        return false;
    }
    if (m_options.verbose) {
        std::printf("  %-28s %-11s mapped %7.1f ms  first frame %7.1f ms  VmHWM %6.1f MiB  %dx%d\n",
                    v.caption.c_str(), v.bus ? "with bus" : "without bus", frame.mappedMs, frame.frameMs, frame.peakRssKiB / 1024.0,
                    frame.width, frame.height);
    }
    v.runs.push_back(frame);
    return true;
}

bool Bench::Run() {
    std::printf(
        "start-up to the first frame on %s (Xvfb + openbox), %d runs each after one warm-up;"
        " load average %s\n",
        m_desktop.Display().c_str(), m_options.runs, LoadAverage().c_str());
    std::printf(
        "history: %d entries = %d web pages on %d hosts, %d folders, %d programs from /usr/bin\n",
        m_options.entries, m_mix.webPages, m_mix.hosts, m_mix.folders, m_mix.programs);
    const std::size_t count = m_variants.size();
    for (int round = -1; round < m_options.runs && !gStop; ++round) {
        // The order turns every round, so that no variant always follows the same one.
        for (std::size_t k = 0; k < count && !gStop; ++k) {
            Variant& v = m_variants[(static_cast<std::size_t>(round + 1) + k) % count];
            if (!RunOnce(v)) return false;
            if (round < 0) v.runs.clear();  // the warm-up fills the caches and is not counted
        }
    }
    return !gStop;
}

void Bench::Report() const {
    if (m_options.withBus) ReportSetting(true);
    if (m_options.withoutBus) ReportSetting(false);
}

void Bench::ReportSetting(bool bus) const {
    std::vector<const Variant*> rows;  // the reference, the program with history, without
    for (const Variant& v : m_variants) {
        if (v.bus == bus) rows.push_back(&v);
    }
    std::printf("\n%-28s %12s %9s %9s %12s %14s %9s\n",
                bus ? "with a session bus" : "without a session bus", "first frame", "min", "max",
                "mapped", "VmHWM", "window");
    std::printf("%-28s %12s %9s %9s %12s %14s %9s\n", "", "(median)", "", "", "(median)",
                "(median)", "");
    for (const Variant* row : rows) {
        const Variant& v = *row;
        const std::vector<double> frames = Column(v, [](auto& r) { return r.frameMs; });
        const FirstFrame& last = v.runs.back();
        std::printf("%-28s %9.1f ms %6.1f ms %6.1f ms %9.1f ms %10.1f MiB %4dx%d\n",
                    v.caption.c_str(), Median(frames),
                    *std::min_element(frames.begin(), frames.end()),
                    *std::max_element(frames.begin(), frames.end()),
                    Median(Column(v, [](auto& r) { return r.mappedMs; })), MedianPeakMiB(v),
                    last.width, last.height);
    }
    const Variant& bare = *rows[0];
    const Variant& full = *rows[1];
    const Variant& empty = *rows[2];
    const double ratio = MedianFrameMs(full) / MedianFrameMs(bare);
    const double extra = MedianPeakMiB(full) - MedianPeakMiB(bare);
    std::printf("\ntime ratio, program with history / bare window: %.2fx (target <= %.2fx): %s\n",
                ratio, kTimeRatioTarget, ratio <= kTimeRatioTarget ? "met" : "MISSED");
    std::printf(
        "memory, program with history - bare window:     %+.1f MiB (target <= %.0f MiB): %s\n",
        extra, kExtraMemoryTargetMiB, extra <= kExtraMemoryTargetMiB ? "met" : "MISSED");
    std::printf("time ratio, program without history / bare:     %.2fx, %+.1f MiB\n",
                MedianFrameMs(empty) / MedianFrameMs(bare),
                MedianPeakMiB(empty) - MedianPeakMiB(bare));
    std::printf("loading the history:                             %+.1f ms, %+.1f MiB\n",
                MedianFrameMs(full) - MedianFrameMs(empty),
                MedianPeakMiB(full) - MedianPeakMiB(empty));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--runs N] [--entries N] [--program PATH] [--reference PATH]\n"
                     "          [--reference-label TEXT] [--bus with|without|both] [--keep] [--verbose]\n",
                     argv[0]);
        return 2;
    }
    // The programs never reach the bus of the desktop the benchmark runs on.
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    std::string work = (fs::temp_directory_path() / "tk-bench-startup-XXXXXX").string();
    if (::mkdtemp(work.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    bool ok = false;
    {
        Bench bench(options, work);  // stops the programs, openbox and Xvfb when it goes
        ok = bench.Prepare() && bench.Run();
        if (ok) bench.Report();
    }
    if (options.keep) {
        std::printf("kept %s\n", work.c_str());
    } else {
        std::error_code ec;
        fs::remove_all(work, ec);
    }
    return ok ? 0 : 1;
}
