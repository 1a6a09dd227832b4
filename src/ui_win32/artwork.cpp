#include "ui_win32/artwork.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include "ui_win32/dpi.h"


namespace tk {

ArtworkSession::ArtworkSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
}

ArtworkSession::~ArtworkSession() {
    if (m_token != 0) Gdiplus::GdiplusShutdown(m_token);
}

namespace {

// The resource name of an artwork file: its name upper-cased, dots as underscores.
std::wstring ResourceName(const std::string& file) {
    std::wstring out;
    for (char c : file) {
        if (c == '.' || c == '@') out.push_back(L'_');
        else out.push_back(static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    }
    return out;
}

// A 32-bit top-down bitmap; `bits`, when given, gets its pixels.
HBITMAP TopDownBitmap(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* ignored = nullptr;
    return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits != nullptr ? bits : &ignored,
                              nullptr, 0);
}

Picture Decode(const std::string& name) {
    Picture out;
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, ResourceName(name).c_str(), MAKEINTRESOURCEW(10));
    if (found == nullptr) return out;
    HGLOBAL loaded = ::LoadResource(module, found);
    const DWORD size = ::SizeofResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) return out;
    IStream* stream = ::SHCreateMemStream(static_cast<const BYTE*>(bytes), size);
    if (stream == nullptr) return out;
    {
        Gdiplus::Bitmap image(stream);
        if (image.GetLastStatus() == Gdiplus::Ok) {
            const int w = static_cast<int>(image.GetWidth());
            const int h = static_cast<int>(image.GetHeight());
            void* bits = nullptr;
            HBITMAP dib = TopDownBitmap(w, h, &bits);
            Gdiplus::Rect all(0, 0, w, h);
            Gdiplus::BitmapData data{};
            data.Width = static_cast<UINT>(w);
            data.Height = static_cast<UINT>(h);
            data.Stride = w * 4;
            data.PixelFormat = PixelFormat32bppPARGB;
            data.Scan0 = bits;
            if (dib != nullptr &&
                image.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                               PixelFormat32bppPARGB, &data) == Gdiplus::Ok) {
                image.UnlockBits(&data);
                out.bitmap = dib;
                out.width = w;
                out.height = h;
            } else if (dib != nullptr) {
                ::DeleteObject(dib);
            }
        }
    }
    stream->Release();
    return out;
}

}  // namespace

const Picture& Artwork(const std::string& name) {
    static std::map<std::string, Picture> cache;
    auto it = cache.find(name);
    if (it == cache.end()) it = cache.emplace(name, Decode(name)).first;
    return it->second;
}

namespace {

// `source` resampled to width × height with a high-quality filter; its edges are not
// darkened by the transparent outside.
Picture Resample(const Picture& source, int width, int height) {
    Picture out;
    DIBSECTION from{};
    if (!source || width <= 0 || height <= 0 || ::GetObjectW(source.bitmap, sizeof from, &from) != sizeof from ||
        from.dsBm.bmBits == nullptr) {
        return out;
    }
    void* bits = nullptr;
    HBITMAP dib = TopDownBitmap(width, height, &bits);
    if (dib == nullptr) return out;
    {
        Gdiplus::Bitmap input(source.width, source.height, source.width * 4, PixelFormat32bppPARGB,
                              static_cast<BYTE*>(from.dsBm.bmBits));
        Gdiplus::Bitmap output(width, height, width * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits));
        Gdiplus::Graphics graphics(&output);
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        Gdiplus::ImageAttributes edges;
        edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        graphics.DrawImage(&input, Gdiplus::Rect(0, 0, width, height), 0, 0, source.width, source.height,
                           Gdiplus::UnitPixel, &edges);
    }
    out.bitmap = dib;
    out.width = width;
    out.height = height;
    return out;
}

// "banner.png" → "banner@2x.png"; the tab strip's double is a PNG though its own is a BMP.
std::string DoubleName(const std::string& name, bool png) {
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    return stem + "@2x" + (png ? std::string(".png") : (dot == std::string::npos ? "" : name.substr(dot)));
}

}  // namespace

const Picture& Artwork(const std::string& name, int dpi) {
    if (dpi <= kBaseDpi) return Artwork(name);
    static std::map<std::pair<std::string, int>, Picture> cache;
    const auto key = std::make_pair(name, dpi);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    const Picture& base = Artwork(name);
    if (!base) return base;
    const Picture* source = &Artwork(DoubleName(name, false));
    if (!*source) source = &Artwork(DoubleName(name, true));
    if (!*source) source = &base;
    const int width = Scaled(base.width, dpi), height = Scaled(base.height, dpi);
    Picture made;
    if (source->width == width && source->height == height) {
        made = *source;  // the double at 200 %: as drawn
    } else {
        made = Resample(*source, width, height);
        if (!made) return base;
    }
    return cache.emplace(key, made).first->second;
}

void DrawPicture(HDC dc, const Picture& picture, const RECT& dest, const RECT* source) {
    if (!picture) return;
    const RECT all{0, 0, picture.width, picture.height};
    const RECT& from = source ? *source : all;
    HDC memory = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(memory, picture.bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, memory,
                 from.left, from.top, from.right - from.left, from.bottom - from.top, blend);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
}

HBITMAP BitmapFromArgb(const std::uint32_t* argb, int width, int height) {
    void* bits = nullptr;
    HBITMAP dib = TopDownBitmap(width, height, &bits);
    if (dib == nullptr) return nullptr;
    auto* out = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) {
        const std::uint32_t p = argb[i];
        const std::uint32_t a = p >> 24;
        const auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        out[i] = (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
    }
    return dib;
}

HICON ProgramIcon(int side) {
    const int sides[] = {16, 24, 32, 48, 64, 128, 256};
    int pick = 256;
    for (int s : sides) {
        if (s >= side) {
            pick = s;
            break;
        }
    }
    const Picture& picture = Artwork("app_" + std::to_string(pick) + ".png");
    if (!picture) return ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    // Scaled into a bitmap of the asked size; the icon's mask comes from its alpha.
    HBITMAP colour = TopDownBitmap(side, side, nullptr);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, colour);
    const RECT dest{0, 0, side, side};
    DrawPicture(dc, picture, dest);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    HBITMAP mask = ::CreateBitmap(side, side, 1, 1, nullptr);
    ICONINFO icon{TRUE, 0, 0, mask, colour};
    HICON made = ::CreateIconIndirect(&icon);
    ::DeleteObject(mask);
    ::DeleteObject(colour);
    return made;
}

}  // namespace tk
