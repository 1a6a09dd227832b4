#pragma once

#include <iterator>

#include <QWidget>

#include "controller/forms.h"
#include "history/settings.h"

class QCheckBox;
class QLabel;
class QScrollBar;

namespace tk {

// 设置: the settings widgets, built from the rows of controller/forms.h. The setters change
// a widget without reporting it as the user's action; the signals are the user's actions.
class TSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit TSettingsPage(QWidget* parent = nullptr);

    // Shows the settings without reporting any of it as the user's action.
    void ShowSettings(const Settings& settings);

signals:
    // CbAutoRunDocs, CbRefresh or CbQueryAutoRunDoc changed by the user.
    void BoxClicked(SettingsBox box, bool checked);
    // A box or button that is not a setting: what its row names.
    void ActionClicked(forms::Action action, bool checked);
    void CheckTimeChanged(int position);

private:
    QCheckBox* Box(SettingsBox box) const;

    QCheckBox* m_boxes[std::size(forms::kBoxes)] = {};
    QLabel* m_checkTimeLabel = nullptr;
    QScrollBar* m_checkTime = nullptr;
};

}  // namespace tk
