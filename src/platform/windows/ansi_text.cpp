#include "platform/windows/ansi_text.h"

#include <windows.h>

#include "base/wide_text.h"

namespace tk::win32 {

namespace {

std::wstring ToWide(UINT codePage, std::string_view in) {
    if (in.empty()) return {};
    const int size = static_cast<int>(in.size());
    const int n = ::MultiByteToWideChar(codePage, 0, in.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, in.data(), size, out.data(), n);
    return out;
}

std::string FromWide(UINT codePage, std::wstring_view in) {
    if (in.empty()) return {};
    const int size = static_cast<int>(in.size());
    const int n = ::WideCharToMultiByte(codePage, 0, in.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, in.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::string_view WholeCharacters(std::string_view ansi) {
    std::size_t i = 0;
    while (i < ansi.size()) {
        const auto byte = static_cast<BYTE>(ansi[i]);
        if (::IsDBCSLeadByte(byte)) {
            if (i + 1 >= ansi.size()) break;
            i += 2;
        } else {
            ++i;
        }
    }
    return ansi.substr(0, i);
}

std::string AnsiToUtf8(std::string_view ansi) {
    return WideToUtf8(ToWide(CP_ACP, WholeCharacters(ansi)));
}

std::string Utf8ToAnsi(std::string_view utf8) { return FromWide(CP_ACP, Utf8ToWide(utf8)); }

}  // namespace tk::win32
