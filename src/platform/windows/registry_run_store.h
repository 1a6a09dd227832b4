#pragma once

#include <memory>
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

// Start at log-on for whoever runs the program: the machine-wide Run key where the user may
// write it, the user's own Run key where writing the machine's is refused (a normal user).
// Either key's entry counts; a new entry in one leaves none behind in the other.
class MachineOrUserRunStore final : public AutoRunStore {
public:
    // HKEY_LOCAL_MACHINE's and HKEY_CURRENT_USER's Run keys.
    MachineOrUserRunStore();
    MachineOrUserRunStore(std::unique_ptr<AutoRunStore> machine, std::unique_ptr<AutoRunStore> user);

    std::optional<std::string> Read(const std::string& name) override;
    bool Write(const std::string& name, const std::string& path) override;
    bool Remove(const std::string& name) override;

private:
    std::unique_ptr<AutoRunStore> m_machine;
    std::unique_ptr<AutoRunStore> m_user;
};

}  // namespace tk
