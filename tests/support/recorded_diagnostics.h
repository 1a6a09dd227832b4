#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/diagnostics.h"

namespace tk::test {

// A sink a test reads back: every report, in the order made, from whichever thread.
class RecordedDiagnostics final : public Diagnostics {
public:
    using Line = std::tuple<Severity, std::string, std::string>;  // severity, area, message

    void Report(Severity severity, std::string_view area, std::string_view message) override {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(severity, std::string(area), std::string(message));
    }
    std::vector<Line> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    // The messages alone.
    std::vector<std::string> Messages() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> messages;
        for (const Line& line : m_lines) messages.push_back(std::get<2>(line));
        return messages;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Line> m_lines;
};

}  // namespace tk::test
