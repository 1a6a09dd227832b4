#include "ui/message_box.h"

#include "controller/forms.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTranslator>

// Off by default; QT_LOGGING_RULES="tarvokelmora.messages.info=true" shows every message asked.
Q_LOGGING_CATEGORY(lcMessages, "tarvokelmora.messages", QtWarningMsg)

namespace tk {

bool LoadChineseQtTexts() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

namespace {

// The program speaks Chinese whatever the system's language; the box's own buttons too.
void SetButtonText(QMessageBox& box, QMessageBox::StandardButton which, const char* text) {
    if (QAbstractButton* button = box.button(which)) button->setText(QString::fromUtf8(text));
}

}  // namespace

bool QtMessageBoxes::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
    qCInfo(lcMessages).noquote() << "question:" << caption << text;
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("Question"));
    box.setTextFormat(Qt::PlainText);  // paths and titles in it are nobody's markup
    box.setDefaultButton(QMessageBox::Yes);
    SetButtonText(box, QMessageBox::Yes, "是(&Y)");
    SetButtonText(box, QMessageBox::No, "否(&N)");
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBoxes::Inform(QWidget* parent, const QString& caption, const QString& text) {
    qCInfo(lcMessages).noquote() << "message:" << caption << text;
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("Message"));
    box.setTextFormat(Qt::PlainText);
    SetButtonText(box, QMessageBox::Ok, forms::kOkCaption);
    box.exec();
}

}  // namespace tk
