#include "platform/linux/wayland/foreign_toplevels.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <poll.h>
#include <unordered_map>

#include <wayland-client.h>

#include "foreign-toplevel-client.h"

namespace tk {

namespace {

// Every version up to 3 adds events only; the parent event of 3 is welcome when offered.
constexpr std::uint32_t kManagerVersion = 3;

struct Handle {
    zwlr_foreign_toplevel_handle_v1* proxy = nullptr;
    ForeignToplevel toplevel;
    zwlr_foreign_toplevel_handle_v1* parentProxy = nullptr;
    bool done = false;
    bool closed = false;
};

struct Session {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    zwlr_foreign_toplevel_manager_v1* manager = nullptr;
    std::uint32_t managerName = 0;
    std::uint32_t managerVersion = 0;
    // Handles own themselves until the session ends; the order is the order of announcement.
    std::vector<std::unique_ptr<Handle>> handles;
    bool finished = false;

    ~Session() {
        for (auto& h : handles) {
            if (h->proxy != nullptr) zwlr_foreign_toplevel_handle_v1_destroy(h->proxy);
        }
        if (manager != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(manager);
        if (registry != nullptr) wl_registry_destroy(registry);
        if (display != nullptr) wl_display_disconnect(display);
    }
};

void OnGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface,
              std::uint32_t version) {
    auto* session = static_cast<Session*>(data);
    if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0 &&
        session->managerName == 0) {
        session->managerName = name;
        session->managerVersion = version;
    }
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
    static_cast<Handle*>(data)->toplevel.title = title != nullptr ? title : "";
}
void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
    static_cast<Handle*>(data)->toplevel.appId = appId != nullptr ? appId : "";
}
void OnOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void OnOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void OnState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
    auto* handle = static_cast<Handle*>(data);
    handle->toplevel.activated = false;
    handle->toplevel.minimized = false;
    // The array holds 32-bit values; a torn tail is ignored.
    const std::size_t count = states->size / sizeof(std::uint32_t);
    const auto* values = static_cast<const std::uint32_t*>(states->data);
    for (std::size_t i = 0; i < count; ++i) {
        if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) {
            handle->toplevel.activated = true;
        } else if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED) {
            handle->toplevel.minimized = true;
        }
    }
}
void OnDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
    static_cast<Handle*>(data)->done = true;
}
void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
    static_cast<Handle*>(data)->closed = true;
}
void OnParent(void* data, zwlr_foreign_toplevel_handle_v1*,
              zwlr_foreign_toplevel_handle_v1* parent) {
    static_cast<Handle*>(data)->parentProxy = parent;
}

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
    OnTitle, OnAppId, OnOutputEnter, OnOutputLeave, OnState, OnDone, OnClosed, OnParent};

void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                zwlr_foreign_toplevel_handle_v1* proxy) {
    auto* session = static_cast<Session*>(data);
    auto handle = std::make_unique<Handle>();
    handle->proxy = proxy;
    zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &kHandleListener, handle.get());
    session->handles.push_back(std::move(handle));
}
void OnFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    static_cast<Session*>(data)->finished = true;
}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {OnToplevel, OnFinished};

void OnSyncDone(void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }
const wl_callback_listener kSyncListener = {OnSyncDone};

// wl_display_roundtrip with a deadline: the compositor answers everything sent before the sync
// in order, so once the callback fires every earlier event has been dispatched.
bool RoundTrip(wl_display* display, std::chrono::steady_clock::time_point deadline,
               std::string& error) {
    bool synced = false;
    wl_callback* callback = wl_display_sync(display);
    if (callback == nullptr) {
        error = "cannot send to the Wayland compositor";
        return false;
    }
    wl_callback_add_listener(callback, &kSyncListener, &synced);
    auto fail = [&](std::string why) {
        wl_callback_destroy(callback);
        error = std::move(why);
        return false;
    };
    while (!synced) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0)
                return fail("the Wayland connection broke");
        }
        if (synced) {
            wl_display_cancel_read(display);
            break;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            return fail("cannot send to the Wayland compositor");
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            wl_display_cancel_read(display);
            return fail("the Wayland compositor did not answer in time");
        }
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (ready <= 0) {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) return fail("cannot wait for the Wayland compositor");
            continue;  // the deadline check above ends it
        }
        if (wl_display_read_events(display) < 0) return fail("the Wayland connection broke");
        if (wl_display_dispatch_pending(display) < 0) return fail("the Wayland connection broke");
    }
    wl_callback_destroy(callback);
    return true;
}

}  // namespace

ForeignToplevelList ReadForeignToplevels(const std::string& display,
                                         std::chrono::milliseconds timeout) {
    ForeignToplevelList result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Session session;
    session.display = wl_display_connect(display.empty() ? nullptr : display.c_str());
    if (session.display == nullptr) {
        result.error = "cannot connect to the Wayland compositor";
        return result;
    }
    session.registry = wl_display_get_registry(session.display);
    wl_registry_add_listener(session.registry, &kRegistryListener, &session);
    if (!RoundTrip(session.display, deadline, result.error)) return result;
    if (session.managerName == 0) {
        result.unsupported = true;
        result.error = "the compositor offers no foreign-toplevel list";
        return result;
    }
    session.manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
        session.registry, session.managerName, &zwlr_foreign_toplevel_manager_v1_interface,
        std::min(session.managerVersion, kManagerVersion)));
    zwlr_foreign_toplevel_manager_v1_add_listener(session.manager, &kManagerListener, &session);
    // The first round trip brings the toplevel announcements with their properties; a
    // compositor that sends a handle's properties later is waited for a few more.
    for (int i = 0; i < 4; ++i) {
        if (!RoundTrip(session.display, deadline, result.error)) return result;
        bool allDone = true;
        for (const auto& h : session.handles) allDone &= h->done || h->closed;
        if (allDone) break;
    }

    std::unordered_map<zwlr_foreign_toplevel_handle_v1*, std::size_t> index;
    for (const auto& h : session.handles) {
        if (h->closed || !h->done) continue;
        index[h->proxy] = result.toplevels.size();
        result.toplevels.push_back(h->toplevel);
    }
    std::size_t i = 0;
    for (const auto& h : session.handles) {
        if (h->closed || !h->done) continue;
        if (h->parentProxy != nullptr) {
            auto found = index.find(h->parentProxy);
            if (found != index.end() && found->second != i)
                result.toplevels[i].parent = found->second;
        }
        ++i;
    }
    result.ok = true;
    return result;
}

}  // namespace tk
