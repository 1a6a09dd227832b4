#include "history_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "history/doc.h"
#include "history/ini_file.h"
#include "history/settings.h"

namespace fs = std::filesystem;

namespace tk::bench {

namespace {

// Programs that really exist, so the program looks their icons up: an even spread over
// /usr/bin, in name order so that the same machine always yields the same list.
std::vector<std::string> ExistingPrograms(std::size_t wanted) {
    std::vector<std::string> all;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/bin", ec)) {
        const std::string path = entry.path().string();
        if (entry.is_regular_file(ec) && ::access(path.c_str(), X_OK) == 0) all.push_back(path);
    }
    std::sort(all.begin(), all.end());
    if (all.size() <= wanted) return all;
    std::vector<std::string> picked;
    for (std::size_t i = 0; i < wanted; ++i) picked.push_back(all[i * all.size() / wanted]);
    return picked;
}

std::string Host(int h) {
    static const std::array<const char*, 6> kPatterns = {"www.",  "news.", "bbs.",
                                                         "docs.", "mail.", "shop."};
    static const std::array<const char*, 4> kEnds = {".com", ".cn", ".net", ".org"};
    return kPatterns[static_cast<std::size_t>(h) % kPatterns.size()] + std::string("site") +
           std::to_string(h) + kEnds[static_cast<std::size_t>(h / 6) % kEnds.size()];
}

std::string PagePath(int page, int serial) {
    const std::string n = std::to_string(serial);
    switch (page % 4) {
        case 0:
            return page == 0 ? "/" : "/article/" + std::to_string(page) + "/" + n + ".html";
        case 1:
            return "/search?q=word" + n + "&page=" + std::to_string(page);
        case 2:
            return "/thread-" + n + "-1-1.html";
        default:
            return "/files/report%20" + n + ".pdf";
    }
}

std::string FolderPath(const std::string& home, int group, int depth, int serial) {
    static const std::array<const char*, 8> kHomeFolders = {"文档", "下载", "图片", "项目",
                                                            "work", "src",  "音乐", "Desktop"};
    std::string path;
    if (group % 4 == 3) {
        path = "/tmp/build-" + std::to_string(group);  // outside the home folder
    } else {
        path = home + "/" + kHomeFolders[static_cast<std::size_t>(group) % kHomeFolders.size()];
        if (group >= static_cast<int>(kHomeFolders.size())) path += std::to_string(group);
    }
    for (int d = 0; d < depth; ++d) path += "/子目录" + std::to_string(d);
    return path + "/文件夹" + std::to_string(serial);
}

}  // namespace

HistoryMix WriteHistoryFile(const std::string& path, int entries, const std::string& home) {
    HistoryMix mix;
    const int hostPool = std::max(16, entries / 8);
    const int groups = std::max(8, entries / 100);
    const std::vector<std::string> programs =
        ExistingPrograms(static_cast<std::size_t>(entries / 20));
    std::vector<int> pagesOfHost(static_cast<std::size_t>(hostPool), 0);
    // mt19937's sequence is fixed by the standard; the distributions are not, so none is used.
    std::mt19937 random(20240607u);

    std::error_code ec;
    fs::remove(path, ec);
    IniFile ini(path);
    // What the program itself writes on its first exit; RunSelectDoc stays off so that
    // starting it opens nothing.
    const std::string_view d = kSectionDefault;
    ini.WriteBool(d, "RunSelectDoc", false);
    ini.WriteBool(d, "CbRefresh", true);
    ini.WriteBool(d, "QueryAutoRunDoc", false);
    ini.WriteInteger(d, "ActivePageIndex", 0);
    ini.WriteInteger(d, "CheckDocInterval", kDefaultCheckInterval);
    ini.WriteInteger(d, "width", 500);
    ini.WriteInteger(d, "height", 480);

    const std::string_view s = kSectionDocs;
    for (int i = 0; i < entries; ++i) {
        const std::uint32_t kind = random() % 20;
        std::string location;
        std::string name;
        int docType = kDocTypeWebPage;
        if (kind >= 19 && static_cast<std::size_t>(mix.programs) < programs.size()) {
            location = programs[static_cast<std::size_t>(mix.programs++)];
            name = location.substr(location.rfind('/') + 1);
            docType = kDocTypeProgram;
        } else if (kind >= 14 && kind < 19) {
            const int group = static_cast<int>(random() % static_cast<std::uint32_t>(groups));
            location = "file://" + FolderPath(home, group, static_cast<int>(random() % 3), i);
            name = location;
            docType = kDocTypeFolder;
            ++mix.folders;
        } else {
            // A few hosts get most of the visits.
            const auto h = static_cast<std::uint32_t>(hostPool);
            const int host = static_cast<int>(std::min(random() % h, random() % h));
            const std::string scheme = host % 3 == 0 ? "http://" : "https://";
            location =
                scheme + Host(host) + PagePath(pagesOfHost[static_cast<std::size_t>(host)]++, i);
            name = location;
            ++mix.webPages;
        }
        ini.WriteString(s, "path" + std::to_string(i), location);
        ini.WriteString(s, "name" + std::to_string(i), name);
        ini.WriteInteger(s, "doctype" + std::to_string(i), docType);
        ini.WriteInteger(s, "selected" + std::to_string(i), 0);
    }
    mix.hosts = static_cast<int>(
        std::count_if(pagesOfHost.begin(), pagesOfHost.end(), [](int pages) { return pages > 0; }));
    const FileResult written = ini.Flush();
    if (!written.ok) mix.error = written.error;
    return mix;
}

}  // namespace tk::bench
