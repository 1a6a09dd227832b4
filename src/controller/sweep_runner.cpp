#include "controller/sweep_runner.h"

#include "base/memory.h"

namespace tk {

void SweepRunner::Timed() {
    if (m_thread == nullptr) {
        m_sweep.CheckOpenDocs();
        return;
    }
    if (m_out) return;
    m_out = true;
    const std::uint64_t generation = ++m_generation;
    auto findings = std::make_shared<SweepFindings>();
    m_findings = findings;
    m_thread->Submit([this, findings, generation] {
        *findings = m_sweep.Gather();
        m_timers.Post([this, generation] { Apply(generation); });
    });
}

void SweepRunner::Apply(std::uint64_t generation) {
    // Findings overtaken by a sweep made here and now are dropped.
    if (!m_out || generation != m_generation) return;
    m_out = false;
    std::shared_ptr<SweepFindings> findings = std::move(m_findings);
    if (findings && m_mayApply()) m_sweep.Apply(*findings);
    findings.reset();
    // What the desktop's answer held (session files, window lists) was taken on the sweep
    // thread; its room goes back to the system rather than sit in that thread's arena.
    ReleaseFreeMemory();
}

void SweepRunner::Now(std::chrono::milliseconds wait) {
    if (m_thread == nullptr) {
        m_sweep.CheckOpenDocs();
        return;
    }
    if (!m_out) Timed();
    FinishOut(wait);
}

void SweepRunner::FinishOut(std::chrono::milliseconds wait) {
    if (m_out && wait.count() > 0 && m_thread != nullptr && m_thread->FlushFor(wait)) {
        Apply(m_generation);
    }
}

}  // namespace tk
