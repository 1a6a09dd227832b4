#include "ui/message_box.h"

#include <QLoggingCategory>
#include <QMessageBox>

// Off by default; QT_LOGGING_RULES="tarvokelmora.messages.info=true" shows every message asked.
Q_LOGGING_CATEGORY(lcMessages, "tarvokelmora.messages", QtWarningMsg)

namespace tk {

bool QtMessageBoxes::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
    qCInfo(lcMessages).noquote() << "question:" << caption << text;
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void QtMessageBoxes::Inform(QWidget* parent, const QString& caption, const QString& text) {
    qCInfo(lcMessages).noquote() << "message:" << caption << text;
    QMessageBox::information(parent, caption, text);
}

}  // namespace tk
