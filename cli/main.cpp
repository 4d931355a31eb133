#include "cli/cli_app.h"

int main(int argc, char** argv) {
    pixmill::cli::Options options;
    int exitCode = 0;
    if (!pixmill::cli::ParseArguments(argc, argv, options, exitCode)) {
        return exitCode;
    }
    return pixmill::cli::Run(options);
}
