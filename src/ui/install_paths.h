#pragma once

#include <QString>

#include "desktop/autorun.h"

namespace tk {

// A file the program ships for its own use (the web strip's browser): beside the executable
// in a build tree, else in the installed program's private folder.
QString PrivateComponentPath(const QString& fileName);

// The id of the installed desktop entry, icon and metadata; also the desktop file name the
// window is matched to by task managers and portals.
inline constexpr const char* kDesktopId = kDesktopEntryId;

}  // namespace tk
