#pragma once

#include <string>

#include <windows.h>

namespace tk {

// A picture of the artwork, compiled in as a resource and decoded once: a 32-bit
// premultiplied DIB that AlphaBlend draws.
struct Picture {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    explicit operator bool() const { return bitmap != nullptr; }
};

// Starts and ends the decoder; one for the program's life.
class ArtworkSession {
public:
    ArtworkSession();
    ~ArtworkSession();
    ArtworkSession(const ArtworkSession&) = delete;
    ArtworkSession& operator=(const ArtworkSession&) = delete;

private:
    ULONG_PTR m_token = 0;
};

// The picture of the artwork file `name` ("banner.png"); empty when it is not compiled in.
const Picture& Artwork(const std::string& name);
// The same picture at `dpi`: its 96-DPI size scaled, resampled from the double-size artwork
// ("banner@2x.png") where there is one, so that it stays sharp; made once per DPI.
const Picture& Artwork(const std::string& name, int dpi);

// Draws `picture` into `dest`, scaled to it, from the part `source` (all of it when empty).
void DrawPicture(HDC dc, const Picture& picture, const RECT& dest, const RECT* source = nullptr);

// The program's icon at `side` pixels, made from its pictures.
HICON ProgramIcon(int side);

// A 32-bit premultiplied DIB from ARGB pixels (not premultiplied).
HBITMAP BitmapFromArgb(const std::uint32_t* argb, int width, int height);

}  // namespace tk
