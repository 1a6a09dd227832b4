#include "platform/windows/registry_run_store.h"

#include <windows.h>

#include "platform/windows/ansi_text.h"

namespace tk {

namespace {

class Key {
public:
    ~Key() {
        if (m_key != nullptr) ::RegCloseKey(m_key);
    }
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

}  // namespace

RegistryRunStore::RegistryRunStore() : RegistryRunStore(HKEY_LOCAL_MACHINE, kRunKeyPath) {}

RegistryRunStore::RegistryRunStore(HKEY root, std::string keyPath)
    : m_root(root), m_keyPath(std::move(keyPath)) {}

std::optional<std::string> RegistryRunStore::Read(const std::string& name) {
    Key key;
    if (::RegOpenKeyExA(m_root, m_keyPath.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::string valueName = win32::Utf8ToAnsi(name);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // Only a string value names a program; any other type counts as no entry.
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    std::string data(size, '\0');
    if (size > 0 && ::RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()),
                                       &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(size);
    // The stored text may or may not carry its terminating zero.
    if (const std::size_t nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
    return win32::AnsiToUtf8(data);
}

bool RegistryRunStore::Write(const std::string& name, const std::string& path) {
    Key key;
    if (::RegCreateKeyExA(m_root, m_keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          key.Out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::string valueName = win32::Utf8ToAnsi(name);
    const std::string data = win32::Utf8ToAnsi(path);
    // The data is the text with its terminating zero.
    return ::RegSetValueExA(key.Get(), valueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryRunStore::Remove(const std::string& name) {
    Key key;
    if (::RegCreateKeyExA(m_root, m_keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          key.Out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG rc = ::RegDeleteValueA(key.Get(), win32::Utf8ToAnsi(name).c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

MachineOrUserRunStore::MachineOrUserRunStore()
    : MachineOrUserRunStore(std::make_unique<RegistryRunStore>(HKEY_LOCAL_MACHINE, kRunKeyPath),
                            std::make_unique<RegistryRunStore>(HKEY_CURRENT_USER, kRunKeyPath)) {}

MachineOrUserRunStore::MachineOrUserRunStore(std::unique_ptr<AutoRunStore> machine,
                                             std::unique_ptr<AutoRunStore> user)
    : m_machine(std::move(machine)), m_user(std::move(user)) {}

std::optional<std::string> MachineOrUserRunStore::Read(const std::string& name) {
    std::optional<std::string> machine = m_machine->Read(name);
    if (IsAutoRun(*m_machine, name)) return machine;
    std::optional<std::string> user = m_user->Read(name);
    // A blank entry in either key still reads as blank, not as none.
    return user ? user : machine;
}

bool MachineOrUserRunStore::Write(const std::string& name, const std::string& path) {
    if (m_machine->Write(name, path)) {
        // One entry only: the program would otherwise start twice at log-on.
        m_user->Remove(name);
        return true;
    }
    return m_user->Write(name, path);
}

bool MachineOrUserRunStore::Remove(const std::string& name) {
    const bool user = m_user->Remove(name);
    // A normal user cannot open the machine's key for writing, which holds nothing to remove
    // when it holds no entry.
    const bool machine = m_machine->Remove(name) || !m_machine->Read(name);
    return user && machine;
}

}  // namespace tk
