#pragma once

#include <vector>

#include "startup/startup.h"

namespace tk {

// The start-up documents dialog's rules, whichever window draws it: the rows it lists, what
// its boxes show when it opens, and what its buttons do.
class StartDocsForm {
public:
    virtual ~StartDocsForm() = default;
    // One row per history entry, selected when the entry is marked.
    virtual std::vector<StartDocRow> Rows() const = 0;
    // The dialog is opening: returns what 不再跳出此提示框 (CbNotQuery) shows, which
    // 自动启动文档时询问 then follows as a click on it would make it.
    virtual bool DialogShown() = 0;
    // CbNotQueryClick.
    virtual void NotQueryClick(bool checked) = 0;
    // BtnConfirmClick: the rows' selection becomes the marks.
    virtual void BtnConfirmClick(const std::vector<bool>& rowSelected) = 0;
    // SpeedButton2Click: every listed entry loses its mark.
    virtual void SpeedButton2Click(const std::vector<bool>& rowSelected) = 0;
    // LbSelectDocDblClick: the row's entry opens as stored.
    virtual void LbSelectDocDblClick(int row) = 0;
};

}  // namespace tk
