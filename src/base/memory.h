#pragma once

#include <cstddef>
#include <string_view>

namespace tk {

// Hands the heap's free pages back to the system. A program that sits in the tray for hours
// should not keep the peak of its busy moments.
void ReleaseFreeMemory();

// Makes every thread allocate from the one heap. Each thread's own heap would keep the pages of
// its busiest moment for the whole run; the program's threads seldom allocate at the same time,
// so sharing costs nothing noticeable. Call before any thread starts.
void UseOneHeap();

// Lets go of the pages of the font files the window drew with (read-only file mappings, so
// nothing is lost: a glyph drawn later comes back from the page cache). For a hidden window:
// a Chinese face is many megabytes, touched in 64 KiB steps, and none of it is needed at rest.
// Returns the bytes of mappings let go.
std::size_t ReleaseFontPages();

// Whether a line of /proc/self/maps is a font file mapped read-only and private, the only kind
// that can be let go without losing anything; `start`/`end` get its range.
bool IsReleasableFontMapping(std::string_view mapsLine, std::size_t& start, std::size_t& end);

}  // namespace tk
