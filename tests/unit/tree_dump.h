#pragma once

#include <string>
#include <vector>

#include "history/category_tree.h"

namespace tk::test {

// "text [image] #index", children indented by two blanks, in tree order.
inline std::vector<std::string> Dump(const CategoryTree& tree) {
    std::vector<std::string> out;
    tree.ForEach([&](const TreeNode& n) {
        int depth = 0;
        for (const TreeNode* p = n.Parent(); p != nullptr; p = p->Parent()) ++depth;
        std::string line(static_cast<std::size_t>(depth) * 2, ' ');
        line += std::string(n.Text()) + " [" + std::to_string(n.ImageIndex()) + "] #" +
                std::to_string(n.Data().Index);
        out.push_back(line);
    });
    return out;
}

}  // namespace tk::test
