#include "webpanel/strip_navigation.h"

#include "webpanel/strip_protocol.h"
#include "webpanel/web_panel.h"

namespace tk {

namespace {
// A click is what the user did within this long before the page asked.
constexpr std::uint32_t kFreshInputMs = 2000;
}  // namespace

void StripNavigationGuard::ProgramNavigates(std::string address) {
    m_programAddress = std::move(address);
    m_programPending = true;
}

bool StripNavigationGuard::TakeUserInput(std::uint32_t lastInput, std::uint32_t now) {
    if (m_inputUsed && lastInput == m_usedInput) return false;
    // Unsigned: a tick counter that wrapped still gives the right age.
    if (now - lastInput > kFreshInputMs) return false;
    m_inputUsed = true;
    m_usedInput = lastInput;
    return true;
}

StripNavigationGuard::Verdict StripNavigationGuard::Navigation(std::string_view site, std::string_view address,
                                                               bool topFrame, std::uint32_t lastInput,
                                                               std::uint32_t now) {
    // Frames are the page's own business; only where the strip itself goes matters.
    if (!topFrame) return Verdict::Allow;
    // The engine may spell the program's address its own way; on the site it is still ours.
    if (m_programPending && (address == m_programAddress || StaysOnSite(site, address))) {
        m_programPending = false;
        return Verdict::Allow;
    }
    if (TakeUserInput(lastInput, now)) {
        return IsOpenableWebAddress(address) ? Verdict::OpenInBrowser : Verdict::Cancel;
    }
    return StaysOnSite(site, address) ? Verdict::Allow : Verdict::Cancel;
}

StripNavigationGuard::Verdict StripNavigationGuard::NewWindow(std::string_view address, bool userInitiated,
                                                              std::uint32_t lastInput, std::uint32_t now) {
    if (userInitiated && IsOpenableWebAddress(address) && TakeUserInput(lastInput, now)) {
        return Verdict::OpenInBrowser;
    }
    return Verdict::Cancel;
}

}  // namespace tk
