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

    bool BoxChecked(SettingsBox box) const;
    void SetBoxChecked(SettingsBox box, bool checked);
    int CheckTimePosition() const;
    void SetCheckTimePosition(int position);
    void SetCheckTimeLabel(const QString& text);
    void SetAutoRunBox(bool checked);

signals:
    void OnTopClicked(bool checked);
    void AutoRunClicked(bool checked);
    void RefreshClicked();
    void CheckTimeChanged(int position);
    void DeleteAllClicked();
    void AutoRunSetClicked();
    void AboutClicked();
    void HelpClicked();

private:
    QCheckBox* Box(SettingsBox box) const;
    void Act(forms::SettingsAction action, bool checked);

    QCheckBox* m_boxes[std::size(forms::kBoxes)] = {};
    QLabel* m_checkTimeLabel = nullptr;
    QScrollBar* m_checkTime = nullptr;
};

}  // namespace tk
