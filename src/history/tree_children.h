#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tk {

class TreeNode;

// A node's children in order. Nodes are put in at either end (the top level takes new entries
// at the front), so they are kept as two vectors back to back, the front one reversed: a
// pointer a child, where a deque costs a block of its own for every node with children.
class TreeChildren {
public:
    std::size_t size() const { return m_front.size() + m_back.size(); }
    TreeNode* operator[](std::size_t row) const {
        return row < m_front.size() ? m_front[m_front.size() - 1 - row].get()
                                    : m_back[row - m_front.size()].get();
    }
    void push_front(std::unique_ptr<TreeNode> node) { m_front.push_back(std::move(node)); }
    void push_back(std::unique_ptr<TreeNode> node) { m_back.push_back(std::move(node)); }
    void insert(std::size_t row, std::unique_ptr<TreeNode> node) {
        if (row < m_front.size()) m_front.insert(m_front.end() - static_cast<std::ptrdiff_t>(row), std::move(node));
        else m_back.insert(m_back.begin() + static_cast<std::ptrdiff_t>(row - m_front.size()), std::move(node));
    }
    std::unique_ptr<TreeNode> take(std::size_t row) {
        std::unique_ptr<TreeNode> node;
        if (row < m_front.size()) {
            auto it = m_front.begin() + static_cast<std::ptrdiff_t>(m_front.size() - 1 - row);
            node = std::move(*it);
            m_front.erase(it);
        } else {
            auto it = m_back.begin() + static_cast<std::ptrdiff_t>(row - m_front.size());
            node = std::move(*it);
            m_back.erase(it);
        }
        return node;
    }
    void erase(std::size_t row) {
        if (row < m_front.size()) m_front.erase(m_front.begin() + static_cast<std::ptrdiff_t>(m_front.size() - 1 - row));
        else m_back.erase(m_back.begin() + static_cast<std::ptrdiff_t>(row - m_front.size()));
    }
    void shrink_to_fit() {
        m_front.shrink_to_fit();
        m_back.shrink_to_fit();
    }
    template <typename F>
    void ForEach(F&& f) const {
        for (auto it = m_front.rbegin(); it != m_front.rend(); ++it) f(**it);
        for (const auto& node : m_back) f(*node);
    }

private:
    std::vector<std::unique_ptr<TreeNode>> m_front;  // the first child last
    std::vector<std::unique_ptr<TreeNode>> m_back;
};

}  // namespace tk
