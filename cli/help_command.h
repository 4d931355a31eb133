// "pixmill-cli help TOPIC": where the page of a help topic is, so that
// scripts and terminals reach the same text as the desktop program's Help.
#pragma once

#include <string>

namespace pixmill::cli {

struct Options;

// The page of topic: a topic number, or "contents" / "index" for the table of
// contents; "" when the topic is not a number or a page name.
std::string HelpTopicPath(const std::string& helpFolder, const std::string& topic);
// The help folder: $PIXMILL_HELP_DIR when set, else "help" beside the program.
std::string CliHelpFolder();
// Prints the page's path (or with --open opens it in the desktop's browser).
int CommandHelp(const Options& options);

} // namespace pixmill::cli
