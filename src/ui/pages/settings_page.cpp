#include "ui/pages/settings_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

#include "ui/style.h"
#include "ui/widgets.h"

namespace tk {

using namespace forms;

TSettingsPage::TSettingsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(kPages[kSettingsPage].sheet));
    Paint(this, kBackground);
    setFont(SongFont(15));
    // Group boxes drawn as light framed panels, whatever the desktop's widget style.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #b9cadd; border-radius: 3px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"
        "QCheckBox { spacing: 3px; }"));
    // Indexed by Parent.
    QWidget* parents[1 + std::size(kGroups)] = {this};
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        const GroupRow& entry = kGroups[i];
        auto* group = new QGroupBox(QString::fromUtf8(entry.caption), this);
        group->setObjectName(QString::fromLatin1(entry.name));
        group->setFont(SongFont(13));
        group->setGeometry(entry.left, entry.top, entry.width, entry.height);
        parents[i + 1] = group;
    }
    auto parentOf = [&parents](Parent within) { return parents[static_cast<int>(within)]; };
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        const BoxRow& entry = kBoxes[i];
        auto* box = new QCheckBox(QString::fromUtf8(entry.caption), parentOf(entry.parent));
        box->setObjectName(QString::fromLatin1(entry.name));
        box->setFont(SongFont(13));
        box->adjustSize();
        box->move(entry.left, entry.top);
        m_boxes[i] = box;
    }

    const PlacedRow& label = kCheckTimeLabelRow;
    m_checkTimeLabel = new QLabel(QString::fromStdString(CheckTimeLabel(kCheckTimeInitial)), parentOf(label.parent));
    m_checkTimeLabel->setObjectName(QString::fromLatin1(label.name));
    m_checkTimeLabel->setFont(SongFont(13));
    m_checkTimeLabel->setGeometry(label.left, label.top, label.width, label.height);
    const PlacedRow& bar = kCheckTimeBarRow;
    m_checkTime = new QScrollBar(Qt::Horizontal, parentOf(bar.parent));
    m_checkTime->setObjectName(QString::fromLatin1(bar.name));
    m_checkTime->setAccessibleName(QString::fromUtf8(bar.label));
    m_checkTime->setRange(kCheckTimeMin, kCheckTimeMax);
    m_checkTime->setValue(kCheckTimeInitial);
    m_checkTime->setSingleStep(1);
    m_checkTime->setPageStep(1);
    m_checkTime->setGeometry(bar.left, bar.top, bar.width, bar.height);

    for (const PictureButtonRow& entry : kSettingsButtons) {
        auto* button = new TPictureButton(QString::fromLatin1(entry.name),
                                          QString::fromLatin1(entry.picture), parentOf(entry.parent));
        button->setGeometry(entry.left, entry.top, entry.width, entry.height);
        if (entry.hint[0] != '\0') button->setToolTip(QString::fromUtf8(entry.hint));
        button->setAccessibleName(QString::fromUtf8(entry.label));
        const Action action = entry.action;
        connect(button, &QAbstractButton::clicked, this, [this, action] { emit ActionClicked(action, false); });
    }
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        // A box of the settings reports its new state; the others do what their row says.
        if (const std::optional<SettingsBox> box = kBoxes[i].box) {
            connect(m_boxes[i], &QCheckBox::toggled, this, [this, box](bool checked) { emit BoxClicked(*box, checked); });
            continue;
        }
        const Action action = kBoxes[i].action;
        if (action == Action::None) continue;
        connect(m_boxes[i], &QCheckBox::toggled, this, [this, action](bool checked) { emit ActionClicked(action, checked); });
    }
    connect(m_checkTime, &QScrollBar::valueChanged, this, &TSettingsPage::CheckTimeChanged);
}

QCheckBox* TSettingsPage::Box(SettingsBox box) const { return m_boxes[BoxIndex(box)]; }

void TSettingsPage::ShowSettings(const Settings& settings) {
    for (SettingsBox box : kSettingsBoxes) {
        QSignalBlocker block(Box(box));
        Box(box)->setChecked(settings.Box(box));
    }
    const int position = CheckTimePosition(settings.checkDocInterval);
    {
        QSignalBlocker block(m_checkTime);
        m_checkTime->setValue(position);
    }
    m_checkTimeLabel->setText(QString::fromStdString(CheckTimeLabel(position)));
    QCheckBox* autoRun = m_boxes[BoxIndex(Action::AutoRun)];
    QSignalBlocker block(autoRun);
    autoRun->setChecked(settings.autoRun);
}

}  // namespace tk
