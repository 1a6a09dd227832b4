#include "platform/linux/shared_native_lister.h"

#include <cstdint>
#include <mutex>
#include <utility>

namespace tk {

struct SharedNativeLister::State {
    std::unique_ptr<NativeWindowLister> lister;
    std::chrono::milliseconds fresh;
    std::mutex mutex;
    NativeWindowList last;
    std::uint64_t generation = 0;  // of `last`; 0: none taken yet
    std::chrono::steady_clock::time_point taken;
};

namespace {

class SharedAsker final : public NativeWindowLister {
public:
    explicit SharedAsker(std::shared_ptr<SharedNativeLister::State> state) : m_state(std::move(state)) {}

    NativeWindowList List() override {
        SharedNativeLister::State& s = *m_state;
        std::lock_guard lock(s.mutex);
        const auto now = std::chrono::steady_clock::now();
        if (s.generation > m_seen && now - s.taken < s.fresh) {
            m_seen = s.generation;
            return s.last;
        }
        s.last = s.lister->List();
        s.taken = std::chrono::steady_clock::now();
        m_seen = ++s.generation;
        return s.last;
    }

    // Not under the lock: the window's thread must not wait for a sweep's list.
    std::string Hint() const override { return m_state->lister->Hint(); }

private:
    std::shared_ptr<SharedNativeLister::State> m_state;
    std::uint64_t m_seen = 0;
};

}  // namespace

SharedNativeLister::SharedNativeLister(std::unique_ptr<NativeWindowLister> lister,
                                       std::chrono::milliseconds fresh)
    : m_state(std::make_shared<State>()) {
    m_state->lister = std::move(lister);
    m_state->fresh = fresh;
}

std::unique_ptr<NativeWindowLister> SharedNativeLister::Asker() {
    return std::make_unique<SharedAsker>(m_state);
}

}  // namespace tk
