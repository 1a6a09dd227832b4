#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What browsers leave on disk about their profiles and who holds them, decoded from the text
// alone: any program can write these files, so they are read here and fuzzed here.
namespace tk {

// A process id written as decimal digits, nothing else.
std::optional<long> ParsePid(std::string_view digits);

// The program a /proc/<pid>/stat line names, unless the process is a zombie or dead.
std::optional<std::string> LiveProcessName(std::string_view statLine);

// A process's id in the innermost process-id namespace it lives in (the last "NSpid:" field of
// its /proc/<pid>/status text); nothing without that line.
std::optional<long> NamespacePid(std::string_view status);

// The process Firefox's "lock" symlink names ("address:+pid").
std::optional<long> FirefoxLockPid(std::string_view target);

// The process Chromium's "SingletonLock" symlink names ("host-pid") when it is on `hostName`.
std::optional<long> ChromiumLockPid(std::string_view target, std::string_view hostName);

// The profile folders a profiles.ini lists: each [Profile*] Path and [Install*] Default, a
// relative one under `iniDir`; at most `maxProfiles`. Nothing when the text is no key file.
std::optional<std::vector<std::string>> ProfilesFromIni(std::string_view ini,
                                                        const std::string& iniDir,
                                                        std::size_t maxProfiles);

}  // namespace tk
