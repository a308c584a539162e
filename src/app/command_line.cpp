#include "command_line.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

namespace zonkle {

namespace {

constexpr int usageErrorStatus = 2;

constexpr const char* description =
    "Zonkle sits in the system tray and runs a detector that senses hits on the computer and plays a\n"
    "sound for each. Its panel pauses sensing, picks the sound and sets the sensitivity. A second\n"
    "launch shows the panel of the one already running.";

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

std::optional<int> handleCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    // Single-dash words are Qt's own options; QApplication reads them after this.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version(QStringList{"v", "version"}, "Show the version and exit.");
    parser.addOption(help);
    parser.addOption(version);
    // Qt's options that a desktop session or a user may pass (a restored session, say).
    for (const char* name : {"platform", "display", "session", "style"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }

    const QString program = QStringLiteral("zonkle");
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString error =
            parser.errorText().isEmpty()
                ? QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())
                : parser.errorText();
        print(stderr, QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(program, error));
        return usageErrorStatus;
    }
    if (parser.isSet(help)) {
        print(stdout, parser.helpText().replace(QStringLiteral("<executable_name>"), program));
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("%1 %2\n").arg(program, QString::fromLatin1(ZONKLE_VERSION)));
        return 0;
    }
    return std::nullopt;
}

} // namespace zonkle
