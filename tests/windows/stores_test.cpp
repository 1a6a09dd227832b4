#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <windows.h>

#include "desktop/autorun.h"
#include "history/ini_file.h"
#include "platform/windows/ansi_text.h"
#include "platform/windows/registry_run_store.h"

namespace {

// The Run key of the test's own throw-away prefix, under the program's own value name.
constexpr const char* kName = tk::kAutoRunName;

struct RunKey : ::testing::Test {
    tk::RegistryRunStore store;
    void SetUp() override { store.Remove(kName); }
    void TearDown() override { store.Remove(kName); }

    static void SetRaw(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, tk::kRunKeyPath, 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExA(key, kName, 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(key);
    }
    static DWORD RawType(std::string* data = nullptr) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, tk::kRunKeyPath, 0, KEY_READ, &key) != 0) return 0;
        DWORD type = 0;
        char buffer[512] = {};
        DWORD size = sizeof buffer;
        LONG rc = ::RegQueryValueExA(key, kName, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                     &size);
        ::RegCloseKey(key);
        if (data != nullptr) data->assign(buffer, size);
        return rc == ERROR_SUCCESS ? type : 0;
    }
};

}  // namespace

TEST_F(RunKey, WrittenReadBlankOtherTypeAndDeleted) {
    const std::string path = "C:\\程序 文件\\乗\\TarvoKelmora.exe";  // blanks stay unquoted
    EXPECT_FALSE(tk::IsAutoRun(store, kName));
    ASSERT_TRUE(tk::SetAutoRun(store, kName, path, true));
    std::string raw;
    EXPECT_EQ(RawType(&raw), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw, tk::win32::Utf8ToAnsi(path) + '\0');  // ANSI text with its terminating zero
    EXPECT_EQ(store.Read(kName), path);
    EXPECT_TRUE(tk::IsAutoRun(store, kName));

    SetRaw(REG_SZ, "  ", 3);
    EXPECT_EQ(store.Read(kName), "  ");
    EXPECT_FALSE(tk::IsAutoRun(store, kName));

    const DWORD number = 1;
    SetRaw(REG_DWORD, &number, sizeof number);
    EXPECT_EQ(store.Read(kName), std::nullopt);
    EXPECT_FALSE(tk::IsAutoRun(store, kName));
    // Ticking the box replaces a value of any type with the string.
    EXPECT_TRUE(tk::MnAutoRunClickResult(store, true, path));
    EXPECT_EQ(RawType(), static_cast<DWORD>(REG_SZ));

    EXPECT_FALSE(tk::MnAutoRunClickResult(store, false, path));
    EXPECT_EQ(RawType(), 0u);
    EXPECT_TRUE(store.Remove(kName));  // deleting what is not there changes nothing
}

TEST_F(RunKey, AFailedWriteLeavesTheBoxShowingTheRealState) {
    // A key that cannot be opened at all stands for the missing administrative right.
    tk::RegistryRunStore refused(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x7654)),
                                 tk::kRunKeyPath);
    EXPECT_FALSE(refused.Write(kName, "C:\\x.exe"));
    EXPECT_FALSE(tk::MnAutoRunClickResult(refused, true, "C:\\x.exe"));
    EXPECT_EQ(refused.Read(kName), std::nullopt);
}

namespace {

// The machine's Run key as a normal user meets it: readable, never writable.
class RefusingMachineKey : public tk::AutoRunStore {
public:
    std::optional<std::string> held;  // what an administrator left there
    std::optional<std::string> Read(const std::string&) override { return held; }
    bool Write(const std::string&, const std::string&) override { return false; }
    bool Remove(const std::string&) override { return false; }
};

}  // namespace

TEST(RunKeys, TheUsersOwnKeyWhenTheMachinesIsRefused) {
    // The user's key is real (HKEY_CURRENT_USER of the test's prefix), at a private path.
    const std::string userPath = "Software\\TarvoKelmoraTest\\Run";
    const std::string path = "C:\\程序 文件\\TarvoKelmora.exe";
    const std::string other = "C:\\旧\\TarvoKelmora.exe";
    auto userKey = [&] { return std::make_unique<tk::RegistryRunStore>(HKEY_CURRENT_USER, userPath); };
    auto* machine = new RefusingMachineKey;
    tk::MachineOrUserRunStore store(std::unique_ptr<tk::AutoRunStore>(machine), userKey());
    tk::RegistryRunStore user(HKEY_CURRENT_USER, userPath);
    user.Remove(kName);

    // Refused on the machine: ticking writes the user's key, and the box reads it back.
    EXPECT_TRUE(tk::MnAutoRunClickResult(store, true, path));
    EXPECT_EQ(user.Read(kName), path);
    EXPECT_TRUE(tk::IsAutoRun(store, kName));
    EXPECT_FALSE(tk::MnAutoRunClickResult(store, false, path));
    EXPECT_EQ(user.Read(kName), std::nullopt);
    EXPECT_FALSE(tk::IsAutoRun(store, kName));

    // An administrator's entry counts; the user cannot remove it, so the box stays ticked.
    machine->held = other;
    EXPECT_TRUE(tk::IsAutoRun(store, kName));
    EXPECT_EQ(store.Read(kName), other);
    EXPECT_TRUE(tk::MnAutoRunClickResult(store, false, path));
    machine->held = "  ";  // blank: the user's entry decides
    EXPECT_FALSE(tk::IsAutoRun(store, kName));

    // Where the machine's key takes the entry, a user's entry left from before goes.
    const std::string machinePath = "SOFTWARE\\TarvoKelmoraTest\\Run";
    tk::RegistryRunStore realMachine(HKEY_LOCAL_MACHINE, machinePath);
    tk::MachineOrUserRunStore admin(std::make_unique<tk::RegistryRunStore>(HKEY_LOCAL_MACHINE, machinePath),
                                    userKey());
    ASSERT_TRUE(user.Write(kName, other));
    EXPECT_TRUE(tk::MnAutoRunClickResult(admin, true, path));
    EXPECT_EQ(realMachine.Read(kName), path);
    EXPECT_EQ(user.Read(kName), std::nullopt);
    EXPECT_FALSE(tk::MnAutoRunClickResult(admin, false, path));
    EXPECT_EQ(realMachine.Read(kName), std::nullopt);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\TarvoKelmoraTest");
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TarvoKelmoraTest");
}

namespace {

struct Profile : ::testing::Test {
    std::string dir;
    std::string path;  // UTF-8 for our module; ASCII, so also valid ANSI for the profile calls
    void SetUp() override {
        std::random_device random;
        dir = (std::filesystem::temp_directory_path() / ("tk-profile-" + std::to_string(random())))
                  .string();
        std::filesystem::create_directories(dir);
        path = dir + "\\defualt.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string ProfileRead(const char* section, const char* key) const {
        char buffer[1024] = {};
        ::GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, path.c_str());
        return buffer;
    }
};

// Values with the GBK characters whose trail bytes are "[", "\", "]" and "|".
const std::vector<std::pair<std::string, std::string>> kValues = {
    {"path0", "C:\\乕乗乚\\亅.exe"},
    {"name0", "中文 标题"},
    {"path1", "file:///C:/俒俓俔/倈"},
    {"name1", "http://h/a?b=c"},
    {"count", "2"},
};

}  // namespace

TEST_F(Profile, PrivateProfileFileReadByOurModule) {
    ASSERT_TRUE(::WritePrivateProfileStringA("default", "CbRefresh", "1", path.c_str()));
    for (const auto& [key, value] : kValues) {
        ASSERT_TRUE(::WritePrivateProfileStringA("docs", key.c_str(),
                                                 tk::win32::Utf8ToAnsi(value).c_str(),
                                                 path.c_str()));
    }
    tk::IniFile ini(path);
    ASSERT_TRUE(ini.Load().ok);
    EXPECT_EQ(ini.Encoding(), tk::TextEncoding::Gb18030);
    EXPECT_TRUE(ini.ReadBool("default", "CbRefresh", false));
    for (const auto& [key, value] : kValues) {
        EXPECT_EQ(ini.ReadString("DOCS", key, "<none>"), value) << key;
    }
}

TEST_F(Profile, OurFileReadByThePrivateProfileCalls) {
    tk::IniFile ini(path);
    ini.Load();
    ini.WriteBool("default", "CbRefresh", true);
    for (const auto& [key, value] : kValues) ini.WriteString("docs", key, value);
    ASSERT_TRUE(ini.Flush().ok);
    EXPECT_EQ(ProfileRead("default", "CbRefresh"), "1");
    for (const auto& [key, value] : kValues) {
        EXPECT_EQ(ProfileRead("docs", key.c_str()), tk::win32::Utf8ToAnsi(value)) << key;
    }
    // Erasing the section as the Windows program does, then reading it with ours.
    ASSERT_TRUE(::WritePrivateProfileStringA("docs", nullptr, nullptr, path.c_str()));
    ASSERT_TRUE(ini.Load().ok);
    EXPECT_FALSE(ini.HasSection("docs"));
    EXPECT_TRUE(ini.ReadBool("default", "CbRefresh", false));
}
