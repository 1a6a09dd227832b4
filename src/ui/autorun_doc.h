#pragma once

#include <functional>

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>

#include "controller/start_docs_form.h"
#include "ui/widgets.h"

namespace tk {

// "文档自动启动": the user picks which history documents open at start.
class TFrmAutorunDoc : public QDialog {
    Q_OBJECT
public:
    TFrmAutorunDoc(StartDocsForm& form, QWidget* owner);

    // Shows the dialog modally.
    void Ask();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void BtnConfirmClick();
    void SpeedButton2Click();
    std::vector<bool> RowSelection() const;
    void LbSelectDocDblClick();
    void CbSelectAllClick();
    void LbSelectDocClick();
    void CbNotQueryClick();

    QCheckBox* CbNotQuery = nullptr;
    QCheckBox* CbSelectAll = nullptr;
    QListWidget* LbSelectDoc = nullptr;
    TPictureButton* BtnConfirm = nullptr;
    TPictureButton* SpeedButton2 = nullptr;

    StartDocsForm& m_form;
    bool m_selectingByCode = false;
};

}  // namespace tk
