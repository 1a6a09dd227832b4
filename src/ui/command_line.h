#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "history/settings.h"

namespace tk {

// What the command line asks for. Parsed before any display is opened, so --help, --version
// and mistakes are answered on a machine with no display at all.
struct CommandLine {
    enum class Action {
        Run,      // start (or, when one runs, bring its window in)
        Show,     // bring the running instance's window in; start when none runs
        Quit,     // ask the running instance to end the normal way, saving
        List,     // print the history, one entry a line (or as JSON)
        Open,     // open the entry whose shown text is `openText`, as a click in 全部 does
        Help,     // print `output`, exit 0
        Version,  // print `output`, exit 0
        Error,    // print `output` to standard error, exit kUsageError
    };
    Action action = Action::Run;
    // The history file named on the command line, absolute; empty for the usual one.
    QString historyFile;
    QString output;
    QString openText;   // Open
    bool json = false;  // List as a JSON array
    bool hidden = false;  // Run in the tray without showing the window (started by the desktop)
};

// The exit status of a command line the program does not understand.
inline constexpr int kUsageError = 2;

// The program's version, as --version prints it.
QString ProgramVersion();

// `arguments` with the program's name first, as argv holds them. Qt's own options (-platform,
// -display, -session...) are left for the application object and never count as unknown.
// A relative history file is taken from `workingDirectory`.
CommandLine ParseCommandLine(const QStringList& arguments, const QString& workingDirectory);

// `arguments` without Qt's own options and their values.
QStringList WithoutQtOptions(const QStringList& arguments);

// Where a history file named on the command line is read and written; its folder is made
// when missing. Nothing, with the reason in Chinese and English, when it cannot be made.
std::optional<SettingsLocation> HistoryFileLocation(const QString& historyFile, QString* problem);

// --quit: asks the instance that owns `instanceKey` to end and waits until it has saved.
// Returns the exit status, having said on standard error what went wrong: 1 when none runs,
// 3 when it does not end in time.
int QuitRunningInstance(const QString& instanceKey);

}  // namespace tk
