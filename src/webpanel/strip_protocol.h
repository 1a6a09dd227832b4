#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tk {

// The line protocol between the program and the web strip's helper process. One message is
// a lower-case name and its fields, each after one blank, ending in a line feed; inside a
// field '%', blanks and control bytes are written %XX. The helper is another program whose
// engine runs pages from the network, so whatever it sends is outside input.

struct StripMessage {
    std::string name;
    std::vector<std::string> fields;
    bool operator==(const StripMessage&) const = default;
};

std::string EncodeStripMessage(const StripMessage& message);

// Splits a byte stream into messages. A line longer than the limit, a bad name or a bad
// escape breaks the stream for good: the other side is not what it should be.
class StripDecoder {
public:
    static constexpr std::size_t kDefaultMaxLine = 16u << 20;
    explicit StripDecoder(std::size_t maxLine = kDefaultMaxLine) : m_maxLine(maxLine) {}

    void Feed(std::string_view bytes);
    // The next whole message; nothing when none is complete or the stream is broken.
    std::optional<StripMessage> Next();
    bool Broken() const { return m_broken; }

private:
    static constexpr std::size_t kKeptRoom = 64u << 10;
    std::string m_buffer;
    std::size_t m_start = 0;  // where the unread part of m_buffer begins
    std::size_t m_maxLine;
    bool m_broken = false;
};

// ---- what the program asks of the helper

struct NavigateCommand { std::string address; };
// The page's address, body markup and load result, answered with the same serial.
struct PageCommand { std::uint32_t serial = 0; };
struct SizeCommand { int width = 0; int height = 0; };
struct QuitCommand {};
using StripCommand = std::variant<NavigateCommand, PageCommand, SizeCommand, QuitCommand>;

// ---- what the helper tells the program

// Its top-level window, for the program to embed.
struct WindowEvent { std::uint64_t windowId = 0; };
struct CompleteEvent { bool ok = false; std::string address; };
struct PageEvent { std::uint32_t serial = 0; bool ok = false; std::string address; std::string body; };
// A link the user clicked, for the user's own browser.
struct OpenEvent { std::string address; };
using StripEvent = std::variant<WindowEvent, CompleteEvent, PageEvent, OpenEvent>;

StripMessage ToMessage(const StripCommand& command);
StripMessage ToMessage(const StripEvent& event);
// Nothing for an unknown name, a wrong number of fields or a field out of range.
std::optional<StripCommand> ParseStripCommand(const StripMessage& message);
std::optional<StripEvent> ParseStripEvent(const StripMessage& message);

// Whether an address a page handed over may go to the user's browser: web addresses only,
// never a local file or another program's scheme.
bool IsOpenableWebAddress(std::string_view address);

}  // namespace tk
