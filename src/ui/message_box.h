#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace tk {

// Every message box the program shows goes through here, so tests can answer them.
class MessageBoxes {
public:
    // Yes/No question, Yes the default button; true for Yes.
    static bool AskYesNo(QWidget* parent, const QString& caption, const QString& text);
    // A message with an OK button.
    static void Inform(QWidget* parent, const QString& caption, const QString& text);

    // Test seam: the next questions are answered with `answer` without showing anything;
    // every text shown is recorded.
    static void SetNextAnswer(std::optional<bool> answer);
    static const QStringList& Shown();
    static void ClearShown();
};

}  // namespace tk
