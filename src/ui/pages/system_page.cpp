#include "ui/pages/system_page.h"

#include <QMenu>

#include "controller/forms.h"
#include "ui/style.h"
#include "ui/widgets.h"

namespace tk {

using namespace forms;

TSystemPage::TSystemPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(kPages[kSystemPage].sheet));
    Paint(this, kBackground);
    auto* picture = new TShownPicture(QString::fromLatin1(kPages[kSystemPage].picture), this);
    picture->setObjectName(QString::fromLatin1(kSystemPicture.name));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setGeometry(kSystemPicture.left, kSystemPicture.top, kSystemPicture.width, kSystemPicture.height);
    for (const SystemButtonRow& entry : kSystemButtons) {
        auto* button = new TPictureButton(QString::fromLatin1(entry.name), QString(), this);
        button->setGeometry(entry.left, entry.top, entry.width, entry.height);
        button->setToolTip(QString::fromUtf8(entry.hint));
        button->setAccessibleName(QString::fromUtf8(entry.label));
        const int target = entry.target;
        connect(button, &QAbstractButton::clicked, this, [this, target] { emit TargetClicked(target); });
    }
    BuildMoreMenu();
}

void TSystemPage::BuildMoreMenu() {
    m_more = new QMenu(this);
    m_more->setObjectName(QString::fromLatin1(kMoreMenuName));
    QMenu* submenus[std::size(kMoreSubmenus)] = {};
    for (std::size_t i = 0; i < std::size(kMoreSubmenus); ++i) {
        submenus[i] = m_more->addMenu(QString::fromUtf8(kMoreSubmenus[i].caption));
        submenus[i]->setObjectName(QString::fromLatin1(kMoreSubmenus[i].name));
    }
    for (const MoreItemRow& item : kMoreItems) {
        QAction* action = submenus[item.submenu]->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        const int target = item.target;
        if (!ItemEnabled(item)) action->setEnabled(false);
        else connect(action, &QAction::triggered, this, [this, target] { emit TargetClicked(target); });
    }
}

void TSystemPage::PopupMoreMenu(const QPoint& globalPos) { m_more->popup(globalPos); }

}  // namespace tk
