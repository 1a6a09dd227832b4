#include "ui/message_box.h"

#include <QLoggingCategory>
#include <QMessageBox>
#include <QStringList>

// Off by default; QT_LOGGING_RULES="tarvokelmora.messages.info=true" shows every message asked.
Q_LOGGING_CATEGORY(lcMessages, "tarvokelmora.messages", QtWarningMsg)

namespace tk {

namespace {
std::optional<bool> g_answer;
QStringList g_shown;
}  // namespace

bool MessageBoxes::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
    g_shown << text;
    qCInfo(lcMessages).noquote() << "question:" << caption << text;
    if (g_answer) return *g_answer;
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void MessageBoxes::Inform(QWidget* parent, const QString& caption, const QString& text) {
    g_shown << text;
    qCInfo(lcMessages).noquote() << "message:" << caption << text;
    if (g_answer) return;
    QMessageBox::information(parent, caption, text);
}

void MessageBoxes::SetNextAnswer(std::optional<bool> answer) { g_answer = answer; }
const QStringList& MessageBoxes::Shown() { return g_shown; }
void MessageBoxes::ClearShown() { g_shown.clear(); }

}  // namespace tk
