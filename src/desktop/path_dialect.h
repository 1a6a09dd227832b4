#pragma once

#include <memory>
#include <string>
#include <string_view>

// Every rule that looks at path syntax asks a dialect. The Windows dialect keeps the original
// string rules verbatim; the POSIX dialect gives the same meaning to Linux paths, with the
// user's home folder in the role a data drive plays on Windows.
namespace tk {

class PathDialect {
public:
    virtual ~PathDialect() = default;

    // Group name of a location that contains "file:///" (already trimmed).
    virtual std::string FolderGroupName(std::string_view location) const = 0;

    // The local path a folder location stands for; kept as a folder entry's title.
    virtual std::string FolderLocalPath(std::string_view location) const = 0;

    // The child-node text of a folder entry in group `name`; empty when no child is needed.
    virtual std::string FolderChildText(std::string_view location, std::string_view name) const = 0;

    // True when a dropped or typed text is a local path that needs the "file:" prefix.
    virtual bool IsLocalPath(std::string_view text) const = 0;

    // The folder location of a local path (the caller checked IsLocalPath).
    virtual std::string LocalPathToLocation(std::string_view path) const = 0;

    // The file-name part of a program path.
    virtual std::string FileNamePart(std::string_view path) const = 0;

    // The extension of a path including its dot, or empty.
    virtual std::string Extension(std::string_view path) const = 0;

    // True when a text names something that must not get "http://" put in front.
    virtual bool NeedsNoWebPrefix(std::string_view text) const = 0;

    // True where ordinary files often have no extension (programs above all), so an
    // extension-less text may name a file rather than only a folder.
    virtual bool FilesMayLackExtensions() const = 0;

    // True where paths, and so the group names made of them, ignore ASCII case.
    virtual bool GroupNamesIgnoreCase() const = 0;
};

class WindowsPathDialect final : public PathDialect {
public:
    std::string FolderGroupName(std::string_view location) const override;
    std::string FolderLocalPath(std::string_view location) const override;
    std::string FolderChildText(std::string_view location, std::string_view name) const override;
    bool IsLocalPath(std::string_view text) const override;
    std::string LocalPathToLocation(std::string_view path) const override;
    std::string FileNamePart(std::string_view path) const override;
    std::string Extension(std::string_view path) const override;
    bool NeedsNoWebPrefix(std::string_view text) const override;
    bool FilesMayLackExtensions() const override { return false; }
    bool GroupNamesIgnoreCase() const override { return true; }
};

class PosixPathDialect final : public PathDialect {
public:
    // `home` is the user's home folder, for example "/home/u"; a trailing "/" is ignored.
    explicit PosixPathDialect(std::string home);

    std::string FolderGroupName(std::string_view location) const override;
    std::string FolderLocalPath(std::string_view location) const override;
    std::string FolderChildText(std::string_view location, std::string_view name) const override;
    bool IsLocalPath(std::string_view text) const override;
    std::string LocalPathToLocation(std::string_view path) const override;
    std::string FileNamePart(std::string_view path) const override;
    std::string Extension(std::string_view path) const override;
    bool NeedsNoWebPrefix(std::string_view text) const override;
    bool FilesMayLackExtensions() const override { return true; }
    bool GroupNamesIgnoreCase() const override { return false; }

    const std::string& Home() const { return m_home; }

private:
    std::string m_home;
};

}  // namespace tk
