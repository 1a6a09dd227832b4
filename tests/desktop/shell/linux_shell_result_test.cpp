#include "platform/linux/shell/linux_shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "launch_fixture.h"
#include "recorded_diagnostics.h"

using namespace tk;
using namespace tk::test;
namespace fs = std::filesystem;

namespace {

// Every request answers whether something started; a refusal carries the reason the user is
// shown, and the same words reach the shell's sink. Only addresses have a default application
// here: files and folders have none.
TEST_F(LaunchTest, EveryRequestAnswersWithWhatBecameOfIt) {
    SetDefaults({"x-scheme-handler/http"});
    const fs::path files = m_root / "files";
    Write(files / "notes.txt", "notes\n");
    Write(files / "nothing.desktop", "[Desktop Entry]\nType=Directory\nName=D\n");
    MakeExecutable(files / "nothing.desktop");
    // An entry the desktop would not start unasked: outside every applications folder, or
    // planted there through a link.
    const std::string entry = std::string("[Desktop Entry]\nType=Application\nName=E\nExec=") +
                              kRecorder + " from-entry %k\n";
    Write(files / "planted.desktop", entry);
    fs::create_directories(m_root / "system-data/applications");
    Write(m_root / "system-data/applications/installed.desktop", entry);
    fs::create_symlink(files / "planted.desktop", m_root / "link.desktop");
    // A folder whose name only begins as an applications folder's does is not one.
    fs::create_directories(m_root / "system-data/applications-old");
    Write(m_root / "system-data/applications-old/beside.desktop", entry);
    const std::string beside = (m_root / "system-data/applications-old/beside.desktop").string();
    const std::string planted = (files / "planted.desktop").string();
    InstallProgram(files / "tool");
    const std::string missing = (files / "missing.txt").string();
    const std::string notes = (files / "notes.txt").string();

    using Request = std::function<ShellResult(LinuxShell&)>;
    auto execute = [](std::optional<std::string> verb, std::string file,
                      std::optional<std::string> parameters = std::nullopt) -> Request {
        return [=](LinuxShell& shell) {
            return shell.Execute(0, verb, file, parameters, std::nullopt, kSwShow);
        };
    };
    // What each answer must begin with: "ok", or "refused " and the reason.
    const std::vector<std::pair<Request, std::string>> cases = {
        {execute("open", "explorer.exe", "http://host/page"), "ok"},
        {execute(std::nullopt, (files / "tool").string()), "ok"},
        {execute("open", missing), "refused no such file: " + missing},
        {execute("open", FileUri(missing)), "refused no such file: " + missing},
        {execute("open", notes), "refused no application opens " + FileUri(notes) + ": "},
        {execute("open", "gopher://host/x"), "refused no application opens gopher://host/x: "},
        {execute(std::nullopt, "notes.txt"), "refused neither a path nor an address: notes.txt"},
        {execute("open", "explorer.exe", "host/page"), "refused not an address: host/page"},
        {execute("open", "explorer.exe", "/no/such/page"), "refused not an address: /no/such/page"},
        // The fallback folder has no application either; the location's own reason is told.
        {execute("open", "explorer.exe", "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"),
         "refused no application opens computer:///: "},
        {execute("open", notes + std::string(1, '\0')),
         "refused a text with a NUL in it is refused"},
        {execute(std::nullopt, (files / "nothing.desktop").string()),
         "refused desktop entry starts nothing: " + (files / "nothing.desktop").string()},
        {execute(std::nullopt, planted), "refused 不信任的启动器，未运行：" + planted},
        {execute("open", FileUri(planted)), "refused 不信任的启动器，未运行：" + planted},
        {execute("open", (m_root / "link.desktop").string()), "refused 不信任的启动器，未运行："},
        {execute("open", (m_root / "system-data/applications/installed.desktop").string()), "ok"},
        {execute("open", beside), "refused 不信任的启动器，未运行：" + beside},
        {execute("open", "taskmgr"), "refused no system monitor installed"},
        {[](LinuxShell& shell) { return shell.OpenSpecialFolder(0x7F, 0); },
         "refused no special folder 127"},
        {[](LinuxShell& shell) { return shell.RunControlPanel("control", kSwRestore); },
         "refused no application opens file:///usr/share/applications: "},
    };
    // The child writes its answers down, each with what its shell reported on the way; the
    // test reads them here.
    const fs::path answers = m_root / "answers";
    ASSERT_EQ(RunScenario([&](LinuxShell&) {
                  RecordedDiagnostics said;
                  LinuxShell shell(said);
                  std::ofstream out(answers, std::ios::binary);
                  for (const auto& request : cases) {
                      const std::size_t before = said.Lines().size();
                      const ShellResult result = request.first(shell);
                      out << (result.ok ? "ok" : "refused " + result.problem) << '\0';
                      const auto lines = said.Lines();
                      std::string reported;
                      for (std::size_t k = before; k < lines.size(); ++k) {
                          const auto& [severity, area, message] = lines[k];
                          reported += (severity == Severity::Warning ? "warning " : "other ") + area +
                                      ": " + message + "\n";
                      }
                      out << reported << '\0';
                  }
              }),
              "");
    std::ifstream in(answers, std::ios::binary);
    std::vector<std::string> got, reported;
    for (std::string answer, said; std::getline(in, answer, '\0') && std::getline(in, said, '\0');) {
        got.push_back(answer);
        reported.push_back(said);
    }
    ASSERT_EQ(got.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(got[i].rfind(cases[i].second, 0), 0u) << got[i];
        // A refusal is warned about in its own words; a launch that went through says nothing.
        if (got[i] == "ok") EXPECT_EQ(reported[i], "") << got[i];
        else EXPECT_NE(reported[i].find("warning launch: " + got[i].substr(8) + "\n"), std::string::npos)
            << got[i] << " / " << reported[i];
    }
    ExpectLaunched(
        (Records{Opened("http://host/page"),
                 {files.string(), (files / "tool").string()},
                 {Work(), kRecorder, "from-entry",
                  (m_root / "system-data/applications/installed.desktop").string()}}));
}

}  // namespace
