#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "base/worker_thread.h"
#include "base/timer.h"
#include "detection/sweep.h"

namespace tk {

// When the sweep runs and where: asked of the desktop on the sweep thread (when there is one)
// and applied on the window's thread in order, one sweep out at a time, so a slow desktop
// neither freezes the window nor piles sweeps up.
class SweepRunner {
public:
    // `thread`: where the desktop is asked; none: at once, here. `mayApply`: whether findings
    // that come in may still be registered.
    SweepRunner(Sweep& sweep, TimerFactory& timers, JobRunner* thread, std::function<bool()> mayApply)
        : m_sweep(sweep), m_timers(timers), m_thread(thread), m_mayApply(std::move(mayApply)) {}
    SweepRunner(const SweepRunner&) = delete;
    SweepRunner& operator=(const SweepRunner&) = delete;

    // The timed sweep: asked elsewhere, applied when its answer is posted back.
    void Timed();
    // A sweep now (closing, the first run); a timed one still out stands for it. Waits here
    // for its answer at most `wait`: a hung desktop costs the sweep, never the window.
    void Now(std::chrono::milliseconds wait);
    // What a sweep still out has found is applied, if it comes within `wait`.
    void FinishOut(std::chrono::milliseconds wait);

private:
    void Apply(std::uint64_t generation);

    Sweep& m_sweep;
    TimerFactory& m_timers;
    JobRunner* m_thread;
    std::function<bool()> m_mayApply;
    bool m_out = false;  // a sweep is being gathered or waits to be applied
    std::uint64_t m_generation = 0;
    std::shared_ptr<SweepFindings> m_findings;
};

}  // namespace tk
