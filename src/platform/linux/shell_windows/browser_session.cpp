#include "platform/linux/shell_windows/browser_session.h"

#include "base/text.h"

namespace tk {

std::string CleanSessionUrl(std::string_view url) {
    if (url.empty() || url.size() > kMaxSessionUrlBytes) return {};
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) return {};
    }
    return SanitizeUtf8(url);
}

}  // namespace tk
