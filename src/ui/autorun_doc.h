#pragma once

#include <functional>

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>

#include "history/history.h"
#include "history/settings.h"
#include "launch/launcher.h"
#include "ui/widgets.h"

namespace tk {

// "文档自动启动": the user picks which history documents open at start.
class TFrmAutorunDoc : public QDialog {
    Q_OBJECT
public:
    // `reportLaunch` takes the answer to a double-clicked entry's opening.
    TFrmAutorunDoc(HistoryCore& history, Launcher& launcher, SettingsWindow& mainWindow,
                   std::function<void(const LaunchResult&)> reportLaunch, QWidget* owner);

    // Shows the dialog modally; its not-again box starts as "自动启动历史文档" stands.
    void Ask(bool autoRunDocs);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void BtnConfirmClick();
    void SpeedButton2Click();
    void StoreStartSelection(bool clear);
    void LbSelectDocDblClick();
    void CbSelectAllClick();
    void LbSelectDocClick();
    void CbNotQueryClick();

    QCheckBox* CbNotQuery = nullptr;
    QCheckBox* CbSelectAll = nullptr;
    QListWidget* LbSelectDoc = nullptr;
    TPictureButton* BtnConfirm = nullptr;
    TPictureButton* SpeedButton2 = nullptr;

    HistoryCore& m_history;
    Launcher& m_launcher;
    SettingsWindow& m_mainWindow;
    std::function<void(const LaunchResult&)> m_reportLaunch;
    bool m_selectingByCode = false;
};

}  // namespace tk
