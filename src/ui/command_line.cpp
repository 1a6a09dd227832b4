#include "ui/command_line.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <array>
#include <cstdio>

#include "ui/application.h"

#ifndef TK_VERSION
#define TK_VERSION "0"
#endif

namespace tk {

namespace {

// Qt's own options, which the application object takes out of argv (with one dash or two).
constexpr std::array kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "display", "geometry", "title", "name", "style",
    "stylesheet", "session", "qmljsdebugger", "dialogs", "fontengine", "qdebug-locale"};
constexpr std::array kQtFlags = {"reverse", "widgetcount", "sync", "nograb", "dograb",
                                 "testability", "visual", "ncols", "cmap"};

// The option's name when `argument` is one of Qt's, and whether its value is the next argument.
bool IsQtOption(const QString& argument, bool* valueFollows) {
    if (!argument.startsWith(QLatin1Char('-'))) return false;
    QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    const bool inlineValue = equals >= 0;
    if (inlineValue) name.truncate(equals);
    for (const char* option : kQtOptionsWithValue) {
        if (name == QLatin1String(option)) {
            *valueFollows = !inlineValue;
            return true;
        }
    }
    for (const char* flag : kQtFlags) {
        if (name == QLatin1String(flag) && !inlineValue) {
            *valueFollows = false;
            return true;
        }
    }
    return false;
}

}  // namespace

QString ProgramVersion() { return QStringLiteral(TK_VERSION); }

QStringList WithoutQtOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--")) {
            // Everything after it is ours, whatever it looks like.
            kept.append(arguments.mid(i));
            break;
        }
        bool valueFollows = false;
        if (i > 0 && IsQtOption(argument, &valueFollows)) {
            if (valueFollows) ++i;
            continue;
        }
        kept.append(argument);
    }
    return kept;
}

CommandLine ParseCommandLine(const QStringList& arguments, const QString& workingDirectory) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "TarvoKelmora：记住你打开过的程序、文件夹和网页，单击即可再次打开。\n"
        "A tray-resident launcher that remembers the programs, folders and web pages you had "
        "open."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示这段帮助。Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本号。Show the version."));
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("使用另一个历史文件（默认为 ~/.config/TarvoKelmora/defualt.ini）。"
                       "Keep the history in FILE instead of the usual defualt.ini."),
        QStringLiteral("FILE"));
    const QCommandLineOption show(
        QStringLiteral("show"),
        QStringLiteral("让正在运行的 TarvoKelmora 显示窗口；没有运行时启动它。"
                       "Bring the running instance's window in; start one if none runs."));
    const QCommandLineOption quit(
        QStringLiteral("quit"),
        QStringLiteral("让正在运行的 TarvoKelmora 保存历史并退出。"
                       "Ask the running instance to save its history and end."));
    const QCommandLineOption list(
        QStringLiteral("list"),
        QStringLiteral("列出历史记录，每行一条：类别、显示的文字、位置（以制表符分隔）。"
                       "Print the history, newest first, one entry a line: kind, shown text "
                       "and location, separated by tabs."));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("与 --list 一起使用：以 JSON 输出。With --list: print a JSON array."));
    const QCommandLineOption open(
        QStringLiteral("open"),
        QStringLiteral("打开显示文字为 TEXT 的历史记录，与在“全部”中单击相同。"
                       "Open the entry whose shown text is TEXT, as a click in 全部 does."),
        QStringLiteral("TEXT"));
    const QCommandLineOption hidden(
        QStringLiteral("hidden"),
        QStringLiteral("启动到系统托盘，不显示窗口（桌面搜索启动本程序时使用）。"
                       "Start in the tray without showing the window (as the desktop's search "
                       "starts it)."));
    // One dash or two, every option is a word: "-reverse=1" is an unknown "reverse", never
    // seven unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(history);
    parser.addOption(show);
    parser.addOption(quit);
    parser.addOption(list);
    parser.addOption(json);
    parser.addOption(open);
    parser.addOption(hidden);

    CommandLine result;
    const QStringList ours = WithoutQtOptions(arguments);
    if (!parser.parse(ours)) {
        result.action = CommandLine::Action::Error;
        result.output = QStringLiteral("tarvokelmora: ") + parser.errorText() +
                        QStringLiteral("\n请运行 “tarvokelmora --help” 查看可用的选项。"
                                       "Try 'tarvokelmora --help' for the options.\n");
        return result;
    }
    if (parser.isSet(help)) {
        // The usage line names the program as a user types it, however it was started.
        QString text = parser.helpText();
        text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                     QStringLiteral("Usage: tarvokelmora"));
        result.action = CommandLine::Action::Help;
        result.output = text;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::Version;
        result.output = QStringLiteral("TarvoKelmora ") + ProgramVersion() + QLatin1Char('\n');
        return result;
    }
    const auto fail = [&result](const QString& why) {
        result.action = CommandLine::Action::Error;
        result.output = QStringLiteral("tarvokelmora: ") + why + QLatin1Char('\n');
        return result;
    };
    if (!parser.positionalArguments().isEmpty()) {
        return fail(QStringLiteral("不需要参数：“%1”。Unexpected argument: '%1'.")
                        .arg(parser.positionalArguments().first()));
    }
    const int actions = int(parser.isSet(show)) + int(parser.isSet(quit)) + int(parser.isSet(list)) +
                        int(parser.isSet(open));
    if (actions > 1) {
        return fail(QStringLiteral("--show、--quit、--list 和 --open 只能选一个。Only one of --show, "
                                   "--quit, --list and --open may be given."));
    }
    if (parser.isSet(hidden) && actions > 0) {
        return fail(QStringLiteral("--hidden 只能单独使用。--hidden starts the program; it goes "
                                   "with no other action."));
    }
    result.hidden = parser.isSet(hidden);
    if (parser.isSet(json) && !parser.isSet(list)) {
        return fail(QStringLiteral("--json 只能与 --list 一起使用。--json goes with --list."));
    }
    if (parser.values(open).size() > 1) {
        return fail(QStringLiteral("只能打开一条记录。--open may be given once."));
    }
    if (parser.values(history).size() > 1) {
        return fail(QStringLiteral("只能指定一个历史文件。--history may be given once."));
    }
    if (parser.isSet(history)) {
        const QString given = parser.value(history);
        if (given.trimmed().isEmpty()) {
            return fail(QStringLiteral("历史文件名为空。--history needs a file name."));
        }
        const QString path = QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(given));
        if (QFileInfo(path).isDir() || given.endsWith(QLatin1Char('/'))) {
            return fail(QStringLiteral("“%1”是文件夹，不是历史文件。'%1' is a folder, not a "
                                       "history file.").arg(given));
        }
        result.historyFile = path;
    }
    if (parser.isSet(show)) result.action = CommandLine::Action::Show;
    if (parser.isSet(quit)) result.action = CommandLine::Action::Quit;
    if (parser.isSet(list)) {
        result.action = CommandLine::Action::List;
        result.json = parser.isSet(json);
    }
    if (parser.isSet(open)) {
        result.openText = parser.value(open);
        if (result.openText.trimmed().isEmpty()) {
            return fail(QStringLiteral("--open 需要记录显示的文字。--open needs an entry's shown text."));
        }
        result.action = CommandLine::Action::Open;
    }
    return result;
}

std::optional<SettingsLocation> HistoryFileLocation(const QString& historyFile, QString* problem) {
    const QString folder = QFileInfo(historyFile).absolutePath();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        if (problem) {
            *problem = QStringLiteral("tarvokelmora: 无法创建历史文件所在的文件夹“%1”。"
                                      "Cannot make the history file's folder '%1'.\n")
                           .arg(folder);
        }
        return std::nullopt;
    }
    const std::string path = QFile::encodeName(historyFile).toStdString();
    return SettingsLocation{path, path};
}

int QuitRunningInstance(const QString& instanceKey) {
    // Long enough for a last save of a large history on a slow disk.
    constexpr int kWaitMs = 60 * 1000;
    const auto say = [](const char* text) {
        std::fputs(text, stderr);
        std::fflush(stderr);
    };
    switch (SingleInstance::AskToQuit(instanceKey, kWaitMs)) {
        case SingleInstance::QuitResult::Ended: return 0;
        case SingleInstance::QuitResult::NotRunning:
            say("tarvokelmora: 没有正在运行的 TarvoKelmora。TarvoKelmora is not running.\n");
            return 1;
        case SingleInstance::QuitResult::NoAnswer: break;
    }
    say("tarvokelmora: 正在运行的 TarvoKelmora 没有退出。The running TarvoKelmora did not end.\n");
    return 3;
}

}  // namespace tk
