// The command line on arbitrary arguments (the input split at NUL bytes). Whatever comes in,
// the parse ends in one answer: a mistake says something and ends in a newline, a history file
// is absolute and clean, and taking Qt's options out never adds or reorders anything.
#include <QDir>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "ui/command_line.h"

using tk::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    QStringList arguments{QStringLiteral("tarvokelmora")};
    std::size_t start = 0;
    while (start <= bytes.size() && arguments.size() < 64) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        const std::string_view piece = bytes.substr(start, end - start);
        arguments << QString::fromLocal8Bit(piece.data(), static_cast<qsizetype>(piece.size()));
        start = end + 1;
    }

    const QStringList kept = tk::WithoutQtOptions(arguments);
    Require(!kept.isEmpty() && kept.first() == arguments.first(), "the program's name stays first");
    qsizetype from = 0;
    for (const QString& argument : kept) {
        const qsizetype at = arguments.indexOf(argument, from);
        Require(at >= 0, "only given arguments are kept, in their order");
        from = at + 1;
    }

    const tk::CommandLine parsed = tk::ParseCommandLine(arguments, QStringLiteral("/home/u"));
    using Action = tk::CommandLine::Action;
    if (parsed.action == Action::Error || parsed.action == Action::Help ||
        parsed.action == Action::Version) {
        Require(parsed.output.endsWith(QLatin1Char('\n')), "what is printed ends its line");
    } else {
        Require(parsed.output.isEmpty(), "a run prints nothing");
    }
    if (!parsed.historyFile.isEmpty()) {
        Require(parsed.action != Action::Error, "a mistake names no history file");
        Require(QDir::isAbsolutePath(parsed.historyFile), "the history file is absolute");
        Require(QDir::cleanPath(parsed.historyFile) == parsed.historyFile, "and clean");
    }
    return 0;
}
