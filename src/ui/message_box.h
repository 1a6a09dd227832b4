#pragma once

#include <QString>
#include <QWidget>

namespace tk {

// The message boxes the main window shows; tests hand the window one that answers itself.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Yes/No question, Yes the default button; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A message with an OK button.
    virtual void Inform(QWidget* parent, const QString& caption, const QString& text) = 0;
};

// Loads Qt's own Chinese texts (standard buttons, its dialogs, context menus) whatever the
// system's language; false when they are not installed.
bool LoadChineseQtTexts();

// The real boxes, modal over their parent; their buttons read Chinese even without Qt's
// translations.
class QtMessageBoxes : public MessageBoxes {
public:
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void Inform(QWidget* parent, const QString& caption, const QString& text) override;
};

}  // namespace tk
