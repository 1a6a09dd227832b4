#include "ui/pages/settings_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

#include "ui/style.h"
#include "ui/widgets.h"

namespace tk {

namespace {

enum Parent { kSheet, kGroup1, kGroup2 };

struct GroupRow {
    const char* name;
    const char* caption;
    int left, top, width, height;
};
constexpr GroupRow kGroups[] = {
    {"GroupBox1", "侦查已打开文档", 7, 29, 174, 76},
    {"GroupBox2", "设置启动文档", 189, 27, 147, 81},
};

struct BoxRow {
    const char* name;
    const char* caption;
    Parent parent;
    int left, top;
};
constexpr BoxRow kBoxes[] = {
    {"CbOnTop", "窗体总在最上方", kSheet, 9, 6},
    {"MnAutoRun", "开机时自动启动", kSheet, 191, 6},
    {"CbRefresh", "刷新", kGroup1, 6, 19},
    {"CbQueryAutoRunDoc", "自动启动文档时询问", kGroup2, 5, 15},
    {"CbAutoRunDocs", "自动启动历史文档", kGroup2, 5, 33},
};

struct ButtonRow {
    const char* name;
    const char* picture;
    const char* label;  // the words on the picture, for screen readers
    const char* hint;
    Parent parent;
    int left, top, width, height;
};
constexpr ButtonRow kButtons[] = {
    {"BtnAutoRunSet", "btn_autorun_set.png", "启动文档设置", "启动文档设置", kGroup2, 16, 53, 111, 24},
    {"BtnDeleteAllDocs", "btn_delete_all.png", "删除所有历史文档", "", kSheet, 16, 110, 122, 26},
    {"BtnHelpDoc", "btn_help.png", "帮助文档", "帮助文档", kSheet, 156, 109, 122, 26},
    {"BtnAboutUS", "btn_about.png", "关于我们", "", kSheet, 284, 110, 122, 26},
};

}  // namespace

TSettingsPage::TSettingsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet6"));
    Paint(this, kBackground);
    setFont(SongFont(15));
    // Group boxes drawn as light framed panels, whatever the desktop's widget style.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #b9cadd; border-radius: 3px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"
        "QCheckBox { spacing: 3px; }"));
    QWidget* parents[3] = {this, nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        const GroupRow& entry = kGroups[i];
        auto* group = new QGroupBox(QString::fromUtf8(entry.caption), this);
        group->setObjectName(QString::fromLatin1(entry.name));
        group->setFont(SongFont(13));
        group->setGeometry(entry.left, entry.top, entry.width, entry.height);
        parents[i + 1] = group;
    }
    QCheckBox* boxes[std::size(kBoxes)] = {};
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        const BoxRow& entry = kBoxes[i];
        auto* box = new QCheckBox(QString::fromUtf8(entry.caption), parents[entry.parent]);
        box->setObjectName(QString::fromLatin1(entry.name));
        box->setFont(SongFont(13));
        box->adjustSize();
        box->move(entry.left, entry.top);
        boxes[i] = box;
    }
    m_onTop = boxes[0];
    m_autoRun = boxes[1];
    m_refresh = boxes[2];
    m_queryAutoRunDoc = boxes[3];
    m_autoRunDocs = boxes[4];

    m_checkTimeLabel = new QLabel(QString::fromStdString(CheckTimeLabel(kCheckTimeInitial)), parents[kGroup1]);
    m_checkTimeLabel->setObjectName(QStringLiteral("LbCheckTime"));
    m_checkTimeLabel->setFont(SongFont(13));
    m_checkTimeLabel->setGeometry(65, 21, 105, 16);
    m_checkTime = new QScrollBar(Qt::Horizontal, parents[kGroup1]);
    m_checkTime->setObjectName(QStringLiteral("SbCheckTime"));
    m_checkTime->setAccessibleName(QStringLiteral("刷新间隔(秒)"));
    m_checkTime->setRange(kCheckTimeMin, kCheckTimeMax);
    m_checkTime->setValue(kCheckTimeInitial);
    m_checkTime->setSingleStep(1);
    m_checkTime->setPageStep(1);
    m_checkTime->setGeometry(6, 46, 163, 17);

    void (TSettingsPage::*const buttonSignals[])() = {
        &TSettingsPage::AutoRunSetClicked, &TSettingsPage::DeleteAllClicked,
        &TSettingsPage::HelpClicked, &TSettingsPage::AboutClicked};
    for (std::size_t i = 0; i < std::size(kButtons); ++i) {
        const ButtonRow& entry = kButtons[i];
        auto* button = new TPictureButton(QString::fromLatin1(entry.name),
                                          QString::fromLatin1(entry.picture), parents[entry.parent]);
        button->setGeometry(entry.left, entry.top, entry.width, entry.height);
        if (entry.hint[0] != '\0') button->setToolTip(QString::fromUtf8(entry.hint));
        button->setAccessibleName(QString::fromUtf8(entry.label));
        connect(button, &QAbstractButton::clicked, this, buttonSignals[i]);
    }

    connect(m_onTop, &QCheckBox::toggled, this, &TSettingsPage::OnTopClicked);
    connect(m_autoRun, &QCheckBox::toggled, this, &TSettingsPage::AutoRunClicked);
    for (SettingsBox box : {SettingsBox::AutoRunDocs, SettingsBox::Refresh, SettingsBox::QueryAutoRunDoc}) {
        connect(Box(box), &QCheckBox::toggled, this, [this, box](bool checked) { emit BoxClicked(box, checked); });
    }
    connect(m_checkTime, &QScrollBar::valueChanged, this, &TSettingsPage::CheckTimeChanged);
}

QCheckBox* TSettingsPage::Box(SettingsBox box) const {
    switch (box) {
        case SettingsBox::AutoRunDocs: return m_autoRunDocs;
        case SettingsBox::Refresh: return m_refresh;
        case SettingsBox::QueryAutoRunDoc: return m_queryAutoRunDoc;
    }
    return m_refresh;
}

void TSettingsPage::ShowSettings(const Settings& settings) {
    for (SettingsBox box : {SettingsBox::AutoRunDocs, SettingsBox::Refresh, SettingsBox::QueryAutoRunDoc}) {
        QSignalBlocker block(Box(box));
        Box(box)->setChecked(settings.Box(box));
    }
    const int position = CheckTimePosition(settings.checkDocInterval);
    {
        QSignalBlocker block(m_checkTime);
        m_checkTime->setValue(position);
    }
    m_checkTimeLabel->setText(QString::fromStdString(CheckTimeLabel(position)));
    QSignalBlocker block(m_autoRun);
    m_autoRun->setChecked(settings.autoRun);
}

}  // namespace tk
