#include "platform/windows/shell_file_icons.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/windows/ansi_text.h"

namespace tk {

namespace {

// The icon's colour bitmap as top-down 32-bit pixels; an icon without alpha takes its mask.
std::optional<FileIcon> PixelsOf(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return std::nullopt;
    BITMAP bitmap{};
    HBITMAP source = info.hbmColor != nullptr ? info.hbmColor : info.hbmMask;
    std::optional<FileIcon> result;
    if (::GetObjectW(source, sizeof bitmap, &bitmap) != 0 && bitmap.bmWidth > 0) {
        FileIcon out;
        out.width = bitmap.bmWidth;
        out.height = info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2;
        BITMAPINFO header{};
        header.bmiHeader.biSize = sizeof header.bmiHeader;
        header.bmiHeader.biWidth = out.width;
        header.bmiHeader.biHeight = -out.height;  // top-down
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        header.bmiHeader.biCompression = BI_RGB;
        out.argb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
        HDC dc = ::GetDC(nullptr);
        const bool haveColour =
            info.hbmColor != nullptr &&
            ::GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(out.height), out.argb.data(),
                        &header, DIB_RGB_COLORS) != 0;
        if (haveColour) {
            bool anyAlpha = false;
            for (std::uint32_t px : out.argb) anyAlpha = anyAlpha || (px >> 24) != 0;
            if (!anyAlpha) {
                std::vector<std::uint32_t> mask(out.argb.size());
                if (::GetDIBits(dc, info.hbmMask, 0, static_cast<UINT>(out.height), mask.data(),
                                &header, DIB_RGB_COLORS) != 0) {
                    for (std::size_t i = 0; i < mask.size(); ++i) {
                        // A set mask bit is transparent.
                        if ((mask[i] & 0xFFFFFFu) == 0) out.argb[i] |= 0xFF000000u;
                    }
                }
            }
            result = std::move(out);
        }
        ::ReleaseDC(nullptr, dc);
    }
    if (info.hbmColor != nullptr) ::DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) ::DeleteObject(info.hbmMask);
    return result;
}

}  // namespace

std::optional<FileIcon> ShellFileIcons::IconOf(const std::string& path) {
    SHFILEINFOA info{};
    if (::SHGetFileInfoA(win32::Utf8ToAnsi(path).c_str(), 0, &info, sizeof info, SHGFI_ICON) ==
            0 ||
        info.hIcon == nullptr) {
        return std::nullopt;
    }
    std::optional<FileIcon> icon = PixelsOf(info.hIcon);
    ::DestroyIcon(info.hIcon);
    return icon;
}

}  // namespace tk
