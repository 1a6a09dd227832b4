#pragma once

#include <optional>
#include <vector>

#include "desktop/file_icons.h"

namespace tk {

class ImageListListener {
public:
    virtual ~ImageListListener() = default;
    virtual void ImageInserted(int index) = 0;
};

// ImageList1 as a model: eleven built-in pictures the UI supplies, then program icons. Inserting
// at a position moves the images at and above it up by one, as the trees' numbering expects.
class ImageList {
public:
    static constexpr int kBuiltInCount = 11;

    ImageList() : m_icons(kBuiltInCount) {}
    int Count() const { return static_cast<int>(m_icons.size()); }
    // The icon at `index`, or nothing for a built-in picture.
    const std::optional<FileIcon>& At(int index) const { return m_icons.at(static_cast<std::size_t>(index)); }
    // False, changing nothing, when `index` is outside 0..Count().
    bool Insert(int index, FileIcon icon) {
        if (index < 0 || index > Count()) return false;
        m_icons.insert(m_icons.begin() + index, std::move(icon));
        if (m_listener) m_listener->ImageInserted(index);
        return true;
    }
    void SetListener(ImageListListener* listener) { m_listener = listener; }

private:
    std::vector<std::optional<FileIcon>> m_icons;
    ImageListListener* m_listener = nullptr;
};

}  // namespace tk
