#pragma once

#include <string>

#include "desktop/autorun.h"

struct HKEY__;

namespace tk {

inline constexpr char kRunKeyPath[] = "SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Run";

// Start at log-on through the machine-wide Run key: one REG_SZ value per name. The key is
// opened and closed on every call; nothing is held between calls.
class RegistryRunStore final : public AutoRunStore {
public:
    // The tests point it at a private key; the program uses HKEY_LOCAL_MACHINE's Run key.
    RegistryRunStore();
    RegistryRunStore(HKEY__* root, std::string keyPath);

    std::optional<std::string> Read(const std::string& name) override;
    bool Write(const std::string& name, const std::string& path) override;
    bool Remove(const std::string& name) override;

private:
    HKEY__* m_root;
    std::string m_keyPath;
};

}  // namespace tk
