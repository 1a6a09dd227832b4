// The Chromium session reader on arbitrary bytes, taken as a whole file and as the records
// after a valid header: nothing may crash, and every address that comes out is one the core
// can take and was in the file.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "base/text.h"
#include "platform/linux/shell_windows/browser_session.h"

using tk::BrowserSession;
using tk::fuzz::Require;

namespace {

void Check(const BrowserSession& session, std::string_view file) {
    Require(session.urls.size() <= tk::kMaxSessionTabs, "tabs are capped");
    for (const std::string& url : session.urls) {
        Require(!url.empty(), "no empty address");
        Require(tk::IsValidUtf8(url), "addresses are UTF-8");
        for (const char c : url) {
            Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f, "no control characters");
        }
        // Unless mended into UTF-8, an address is bytes of the file, never made up.
        if (url.find("\xef\xbf\xbd") == std::string::npos) {
            Require(file.find(url) != std::string_view::npos, "addresses come from the file");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(tk::ParseChromiumSession(bytes), bytes);
    // Most inputs lack the header; give them one so the records get read.
    const std::string file = std::string("SNSS\3\0\0\0", 8) + std::string(bytes);
    Check(tk::ParseChromiumSession(file), file);
    return 0;
}
