#include "ui/message_box.h"

#include <QMessageBox>
#include <QStringList>

namespace tk {

namespace {
std::optional<bool> g_answer;
QStringList g_shown;
}  // namespace

bool MessageBoxes::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
    g_shown << text;
    if (g_answer) return *g_answer;
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void MessageBoxes::Inform(QWidget* parent, const QString& caption, const QString& text) {
    g_shown << text;
    if (g_answer) return;
    QMessageBox::information(parent, caption, text);
}

void MessageBoxes::SetNextAnswer(std::optional<bool> answer) { g_answer = answer; }
const QStringList& MessageBoxes::Shown() { return g_shown; }
void MessageBoxes::ClearShown() { g_shown.clear(); }

}  // namespace tk
