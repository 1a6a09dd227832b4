#pragma once

#include <optional>

namespace tk::glib {

// Whether a GSettings key of an installed schema is on; nothing when the schema or the key is
// not there (asking GSettings for an unknown schema would end the process).
std::optional<bool> SettingsFlag(const char* schemaId, const char* key);

// Whether `program` is found on $PATH.
bool ProgramInstalled(const char* program);

}  // namespace tk::glib
