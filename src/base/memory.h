#pragma once

namespace tk {

// Hands the heap's free pages back to the system. A program that sits in the tray for hours
// should not keep the peak of its busy moments.
void ReleaseFreeMemory();

}  // namespace tk
