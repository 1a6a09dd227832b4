#include "frame_watcher.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>

#include <xcb/damage.h>

namespace tk::bench {

namespace {

double MsBetween(FrameWatcher::Clock::time_point from, FrameWatcher::Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// True once the process has ended; it stays unreaped for its owner.
bool HasEnded(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

}  // namespace

long PeakRssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

FrameWatcher::FrameWatcher(const std::string& display, const volatile std::sig_atomic_t* stop)
    : m_stop(stop) {
    m_conn = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(m_conn)) {
        m_error = "cannot connect to " + display;
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(m_conn, &xcb_damage_id);
    if (damage == nullptr || !damage->present) {
        m_error = "the X server has no DAMAGE extension";
        return;
    }
    m_damageEvent = static_cast<std::uint8_t>(damage->first_event + XCB_DAMAGE_NOTIFY);
    // The extension answers nothing before the version handshake.
    std::free(xcb_damage_query_version_reply(
        m_conn,
        xcb_damage_query_version(m_conn, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
    m_netWmName = Atom("_NET_WM_NAME");
    m_utf8String = Atom("UTF8_STRING");
    xcb_flush(m_conn);
}

FrameWatcher::~FrameWatcher() {
    if (m_conn != nullptr) xcb_disconnect(m_conn);
}

xcb_atom_t FrameWatcher::Atom(const char* name) {
    auto cookie = xcb_intern_atom(m_conn, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_conn, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::string FrameWatcher::TitleOf(xcb_window_t window) {
    for (const auto& [property, type] :
         {std::pair{m_netWmName, m_utf8String},
          std::pair{xcb_atom_t{XCB_ATOM_WM_NAME}, xcb_atom_t{XCB_ATOM_ANY}}}) {
        auto cookie = xcb_get_property(m_conn, 0, window, property, type, 0, 256);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(m_conn, cookie, nullptr);
        std::string title;
        if (reply != nullptr) {
            title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                         static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        }
        std::free(reply);
        if (!title.empty()) return title;
    }
    return {};
}

bool FrameWatcher::IsTarget(xcb_window_t window, Tracked& tracked) {
    if (!tracked.titleKnown) {
        // Qt names a window before mapping it; a nameless one may be named later.
        const std::string title = TitleOf(window);
        tracked.titleKnown = !title.empty();
        tracked.isTarget = title == m_title;
    }
    return tracked.isTarget;
}

void FrameWatcher::Arm(const std::string& title) {
    // Whatever is still queued belongs to earlier runs.
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_conn)) std::free(event);
    m_windows.clear();
    m_title = title;
    m_target = 0;
    m_targetGone = false;
}

void FrameWatcher::Handle(xcb_generic_event_t* event, pid_t pid, Clock::time_point start,
                          FirstFrame& result) {
    const Clock::time_point now = Clock::now();
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_CREATE_NOTIFY) {
        const auto* create = reinterpret_cast<xcb_create_notify_event_t*>(event);
        if (create->parent != m_root || create->override_redirect) return;
        // Before the window can be mapped, let alone painted: the program is still setting
        // its properties when the notification reaches us.
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, create->window, XCB_CW_EVENT_MASK, &mask);
        xcb_damage_create(m_conn, xcb_generate_id(m_conn), create->window,
                          XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(m_conn);
        m_windows.emplace(create->window, Tracked{});
    } else if (type == XCB_MAP_NOTIFY) {
        const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
        auto it = m_windows.find(map->window);
        if (it == m_windows.end() || it->second.mapped) return;
        it->second.mapped = true;
        if (IsTarget(map->window, it->second)) {
            m_target = map->window;
            result.mappedMs = MsBetween(start, now);
        }
    } else if (type == m_damageEvent) {
        const auto* damage = reinterpret_cast<xcb_damage_notify_event_t*>(event);
        auto it = m_windows.find(damage->drawable);
        if (result.ok || it == m_windows.end() || !IsTarget(damage->drawable, it->second)) return;
        ::kill(pid, SIGSTOP);
        siginfo_t info{};
        ::waitid(P_PID, static_cast<id_t>(pid), &info, WSTOPPED | WEXITED | WNOWAIT);
        result.frameMs = MsBetween(start, now);
        result.peakRssKiB = PeakRssKiB(pid);
        result.width = damage->geometry.width;
        result.height = damage->geometry.height;
        if (m_target == 0) {
            m_target = damage->drawable;  // its MapNotify came before we could ask its title
            result.mappedMs = result.frameMs;
        }
        result.ok = true;
    } else if (type == XCB_DESTROY_NOTIFY) {
        const auto* destroy = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
        if (destroy->window == m_target) m_targetGone = true;
        m_windows.erase(destroy->window);
    }
}

template <typename Done>
bool FrameWatcher::Pump(int timeoutMs, Done done, pid_t pid, Clock::time_point start,
                        FirstFrame& result) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int fd = xcb_get_file_descriptor(m_conn);
    while (!done()) {
        if (xcb_connection_has_error(m_conn)) return false;
        if (xcb_generic_event_t* event = xcb_poll_for_event(m_conn)) {
            Handle(event, pid, start, result);
            std::free(event);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (now >= end || *m_stop) return false;
        if (pid > 0 && HasEnded(pid)) return false;
        pollfd p{fd, POLLIN, 0};
        // Short slices: the process can end without the display telling us.
        ::poll(&p, 1, 50);
    }
    return true;
}

FirstFrame FrameWatcher::WaitForFirstFrame(pid_t pid, Clock::time_point start, int timeoutMs) {
    FirstFrame result;
    if (!Pump(
            timeoutMs, [&] { return result.ok; }, pid, start, result)) {
        if (*m_stop)
            result.error = "interrupted";
        else if (HasEnded(pid))
            result.error = "the program ended before its first frame";
        else
            result.error = "no first frame within " + std::to_string(timeoutMs) + " ms";
    }
    return result;
}

void FrameWatcher::WaitGone(int timeoutMs) {
    FirstFrame ignored;
    ignored.ok = true;  // later damage is not a first frame
    Pump(
        timeoutMs, [&] { return m_target == 0 || m_targetGone; }, 0, Clock::now(), ignored);
}

}  // namespace tk::bench
