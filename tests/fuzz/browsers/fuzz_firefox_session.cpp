// The Firefox session reader on arbitrary bytes, taken as a whole file and as the JSON inside
// one: nothing may crash, every address that comes out is one the core can take, and a file
// reads exactly as the JSON it holds.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "base/text.h"
#include "platform/linux/shell_windows/browser_session.h"
#include "session_files.h"

using tk::BrowserSession;
using tk::fuzz::Require;

namespace {

void Check(const BrowserSession& session) {
    Require(session.urls.size() <= tk::kMaxSessionTabs, "tabs are capped");
    for (const std::string& url : session.urls) {
        Require(!url.empty(), "no empty address");
        Require(tk::IsValidUtf8(url), "addresses are UTF-8");
        Require(url.size() <= 3 * tk::kMaxSessionUrlBytes, "addresses are capped");
        for (const char c : url) {
            Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f, "no control characters");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(tk::ParseFirefoxSession(bytes));

    const BrowserSession json = tk::ParseFirefoxSessionJson(std::string(bytes));
    Check(json);
    const BrowserSession file = tk::ParseFirefoxSession(tk::test::MozLz4(bytes));
    Require(file.urls == json.urls && file.error == json.error, "a file reads as its JSON");
    return 0;
}
