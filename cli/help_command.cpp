#include "cli/help_command.h"

#include "cli/options.h"
#include "host/plugin_manager.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace pixmill::cli {

std::string HelpTopicPath(const std::string& helpFolder, const std::string& topic) {
    if (topic == "contents" || topic == "index") {
        return helpFolder + "/index.html";
    }
    if (topic.empty() || topic.size() > 9 ||
        topic.find_first_not_of("0123456789") != std::string::npos) {
        return "";
    }
    return helpFolder + "/" + std::to_string(std::stoi(topic)) + ".html";
}

std::string CliHelpFolder() {
    if (const char* configured = std::getenv("PIXMILL_HELP_DIR"); configured && *configured) {
        return configured;
    }
    return ProgramDirectory() + "help";
}

int CommandHelp(const Options& options) {
    const std::string topic = options.arguments.empty() ? "contents" : options.arguments.front();
    if (options.arguments.size() > 1) {
        std::fprintf(stderr, "pixmill-cli: help takes one topic\n");
        return ExitUsage;
    }
    const std::string page = HelpTopicPath(CliHelpFolder(), topic);
    if (page.empty()) {
        std::fprintf(stderr, "pixmill-cli: '%s' is not a help topic (a number, or \"contents\")\n",
                     topic.c_str());
        return ExitUsage;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(page, error)) {
        std::fprintf(stderr, "pixmill-cli: no help page for topic %s (%s)\n", topic.c_str(),
                     page.c_str());
        return ExitFailure;
    }
    if (!options.openPage) {
        std::printf("%s\n", page.c_str());
        return ExitOk;
    }
    if (!QProcess::startDetached(QStringLiteral("xdg-open"),
                                 QStringList{QString::fromLocal8Bit(page.c_str())})) {
        std::fprintf(stderr, "pixmill-cli: could not start xdg-open for %s\n", page.c_str());
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace pixmill::cli
