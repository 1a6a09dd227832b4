#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tk {

// What the web strip lets a page do, whichever engine shows it: the strip goes where the
// program sends it and stays on the site by itself; a link the user clicks, or a window the
// user asks for, opens once in the user's browser; pages open no windows of their own.
class StripNavigationGuard {
public:
    enum class Verdict { Allow, Cancel, OpenInBrowser };  // OpenInBrowser cancels here too

    // The strip's own navigation (a scheduled page): its first top-frame request is let through.
    void ProgramNavigates(std::string address);

    // A navigation the engine is about to make. `lastInput` is when the user last clicked or
    // typed and `now` the time, both in milliseconds of the same clock.
    Verdict Navigation(std::string_view site, std::string_view address, bool topFrame,
                       std::uint32_t lastInput, std::uint32_t now);
    // A page asks for a new window; `userInitiated` is the engine's own word for it.
    Verdict NewWindow(std::string_view address, bool userInitiated, std::uint32_t lastInput,
                      std::uint32_t now);

private:
    // The user's input, if it is fresh and not yet used: a script cannot make one, and one
    // click opens one page.
    bool TakeUserInput(std::uint32_t lastInput, std::uint32_t now);

    std::string m_programAddress;
    bool m_programPending = false;
    bool m_inputUsed = false;
    std::uint32_t m_usedInput = 0;
};

}  // namespace tk
