// The history the Windows benchmarks load and save, and a desktop that costs nothing: web pages over a hundred hosts, programs
// and folders, with Chinese text, in the ANSI code page as the Windows program holds them.
#pragma once

#include <string>
#include <vector>

#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "platform/windows/ansi_text.h"

namespace tk::bench {

// Every program's file is there and has no picture: the desktop costs nothing here.
class AllFilesExist final : public tk::FileSystem {
public:
    bool FileExists(const std::string&) const override { return true; }
    bool DirectoryExists(const std::string&) const override { return false; }
};

class NoIcons final : public tk::FileIcons {
public:
    std::optional<tk::FileIcon> IconOf(const std::string&) override { return std::nullopt; }
};

struct Doc {
    std::string location, title;  // ANSI
    int docType;                  // 1 page, 2 program, 3 folder
};

inline std::vector<Doc> MakeDocs(int n) {
    std::vector<Doc> docs;
    docs.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        switch (i % 3) {
        case 0: docs.push_back({"http://host" + std::to_string(i % 97) + ".cn/页面/" +
                                    std::to_string(i), "网页标题 " + std::to_string(i), 1});
                break;
        case 1: docs.push_back({"C:\\程序\\工具" + std::to_string(i) + "\\app.exe",
                                "app" + std::to_string(i) + ".exe", 2});
                break;
        default: docs.push_back({"file:///D:/资料/文件夹" + std::to_string(i),
                                 "D:\\资料\\文件夹" + std::to_string(i), 3});
        }
    }
    for (auto& d : docs) {
        d.location = tk::win32::Utf8ToAnsi(d.location);
        d.title = tk::win32::Utf8ToAnsi(d.title);
    }
    return docs;
}

}  // namespace tk::bench
