#include "workload.h"

#include <algorithm>

namespace tk::bench {

namespace {

// splitmix64: tiny, and the same sequence on every compiler (std distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int bound) { return static_cast<int>(Next() % static_cast<std::uint64_t>(bound)); }

private:
    std::uint64_t m_state;
};

std::string HostName(int h) {
    const std::string n = std::to_string(h);
    switch (h % 4) {
        case 0: return "www.site" + n + ".com";
        case 1: return "news.portal" + n + ".cn";
        case 2: return "bbs.forum" + n + ".net";
        default: return "docs.lib" + n + ".org";
    }
}

// A folder group: a first-level folder of the home folder, or a top folder outside it.
std::string GroupFolder(int g) {
    const std::string n = std::to_string(g);
    switch (g % 5) {
        case 0: return std::string(kHome) + "/项目" + n;
        case 1: return std::string(kHome) + "/work" + n;
        case 2: return std::string(kHome) + "/Downloads" + n;
        case 3: return "/srv/share" + n;
        default: return "/mnt/disk" + n;
    }
}

Registration WebPage(int i, int host, int page) {
    const std::string name = HostName(host);
    const std::string scheme = host % 5 < 2 ? "https://" : "http://";
    std::string path;
    if (page == 0) {
        path = "/";  // the site's front page: recorded, but gets no child node
    } else if (page % 3 == 0) {
        path = "/article/" + std::to_string(page) + "/" + std::to_string(i) + ".html";
    } else if (page % 3 == 1) {
        path = "/search?q=word" + std::to_string(i) + "&page=" + std::to_string(page);
    } else {
        path = "/files/report%20" + std::to_string(i) + ".pdf";
    }
    Registration r;
    r.location = scheme + name + path;
    r.title = name + " 第" + std::to_string(page) + "页 - 文章" + std::to_string(i);
    return r;
}

Registration Folder(int i, int group, int index) {
    std::string path = GroupFolder(group);
    if (index > 0) path += "/sub" + std::to_string(index % 7) + "/dir" + std::to_string(i);
    Registration r;
    r.location = "file://" + path;
    r.title = path.substr(path.rfind('/') + 1);
    return r;
}

Registration Program(int i) {
    Registration r;
    if (i % 2 == 0) {
        r.location = "/usr/bin/tool" + std::to_string(i);
        r.title = "tool" + std::to_string(i);
    } else {
        r.location = "/opt/vendor" + std::to_string(i % 50) + "/bin/app" + std::to_string(i);
        r.title = "app" + std::to_string(i);
    }
    r.isExplicit = true;
    return r;
}

}  // namespace

Workload MakeWorkload(int entries) {
    Workload w;
    w.hosts = std::max(16, entries / 8);
    w.folderGroups = std::max(8, entries / 40);
    std::vector<int> pagesOfHost(static_cast<std::size_t>(w.hosts), 0);
    std::vector<int> foldersOfGroup(static_cast<std::size_t>(w.folderGroups), 0);
    std::vector<std::size_t> newCalls;
    Random random(0x5EED0000u + static_cast<std::uint64_t>(entries));
    w.calls.reserve(static_cast<std::size_t>(entries) + static_cast<std::size_t>(entries) / 4);
    for (int i = 0; i < entries; ++i) {
        const int kind = random.Below(20);
        Registration r;
        if (kind < 14) {
            const int host = random.Below(w.hosts);
            r = WebPage(i, host, pagesOfHost[static_cast<std::size_t>(host)]++);
            ++w.webPages;
            if (host % 5 < 2) ++w.httpsPages;
        } else if (kind < 18) {
            const int group = random.Below(w.folderGroups);
            r = Folder(i, group, foldersOfGroup[static_cast<std::size_t>(group)]++);
            ++w.folders;
        } else {
            r = Program(i);
            ++w.programs;
        }
        r.selected = i % 13 == 0;
        newCalls.push_back(w.calls.size());
        w.calls.push_back(std::move(r));
        if (i % 4 == 3) {
            Registration again = w.calls[newCalls[static_cast<std::size_t>(
                random.Below(static_cast<int>(newCalls.size())))]];
            again.repeat = true;
            w.calls.push_back(std::move(again));
            ++w.repeats;
        }
    }
    w.newEntries = entries;
    return w;
}

}  // namespace tk::bench
