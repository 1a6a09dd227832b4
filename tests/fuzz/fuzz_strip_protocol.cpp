// The web strip's line protocol on arbitrary bytes, as the program reads what its browser
// helper sends. Whatever comes in, fed in any slicing: the decoder never reads past what it
// was given, gives the same messages as when fed at once, and every message it understands
// is written back to the same line and read again to the same message.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "fuzz_support.h"
#include "webpanel/strip_protocol.h"

using tk::fuzz::Require;

namespace {

std::vector<tk::StripMessage> ReadAll(tk::StripDecoder& decoder) {
    std::vector<tk::StripMessage> out;
    while (auto message = decoder.Next()) out.push_back(*message);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the slicing and a small line limit, so that the limit is met too.
    const std::size_t step = 1 + data[0] % 7;
    const std::size_t limit = data[0] & 0x80 ? 64 : tk::StripDecoder::kDefaultMaxLine;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    tk::StripDecoder whole(limit);
    whole.Feed(bytes);
    const std::vector<tk::StripMessage> all = ReadAll(whole);

    tk::StripDecoder sliced(limit);
    std::vector<tk::StripMessage> pieces;
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        sliced.Feed(bytes.substr(at, step));
        for (auto& message : ReadAll(sliced)) pieces.push_back(std::move(message));
    }
    // A too-long line is caught as soon as it is too long, so the sliced reading may stop
    // early; up to there both agree.
    Require(pieces.size() <= all.size() || whole.Broken(), "slicing adds no messages");
    for (std::size_t i = 0; i < pieces.size() && i < all.size(); ++i) {
        Require(pieces[i] == all[i], "slicing changes no message");
    }
    if (!whole.Broken() && !sliced.Broken()) Require(pieces == all, "slicing loses no message");

    for (const tk::StripMessage& message : all) {
        const std::string line = tk::EncodeStripMessage(message);
        tk::StripDecoder again;
        again.Feed(line);
        auto back = again.Next();
        Require(back.has_value() && *back == message, "a message read is written back the same");
        // What is understood is written in one form, which reads back to itself.
        if (auto event = tk::ParseStripEvent(message)) {
            const tk::StripMessage written = tk::ToMessage(*event);
            auto reread = tk::ParseStripEvent(written);
            Require(reread.has_value() && tk::ToMessage(*reread) == written, "an event round-trips");
        }
        if (auto command = tk::ParseStripCommand(message)) {
            const tk::StripMessage written = tk::ToMessage(*command);
            auto reread = tk::ParseStripCommand(written);
            Require(reread.has_value() && tk::ToMessage(*reread) == written, "a command round-trips");
        }
        if (auto event = tk::ParseStripEvent(message); event && std::holds_alternative<tk::OpenEvent>(*event)) {
            const std::string& address = std::get<tk::OpenEvent>(*event).address;
            if (tk::IsOpenableWebAddress(address)) {
                Require(address.find_first_of(std::string("\0\n\r ", 4)) == std::string::npos,
                        "an address that leaves holds no blank or control byte");
            }
        }
    }
    return 0;
}
