#include "cli/page_command.h"

#include "cli/terminal.h"
#include "compound/html_page_doc.h"
#include "compound/plugin_image_files.h"
#include "compound/text_renderer.h"
#include "host/host_services.h"
#include "host/temporary_files.h"

#include <QGuiApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace pixmill::cli {

namespace fs = std::filesystem;

namespace {

const char* KindName(int kind) {
    switch (kind) {
    case HtmlPageObject::Applet:
        return "applet";
    case HtmlPageObject::Compound:
        return "compound";
    default:
        return "image";
    }
}

// An object by its place in the list (from 1) or its display name.
bool FindObject(const HtmlPageDoc& page, const std::string& text, size_t& index) {
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && end != nullptr && *end == '\0' && number >= 1 &&
        static_cast<size_t>(number) <= page.Objects().size()) {
        index = static_cast<size_t>(number - 1);
        return true;
    }
    for (size_t i = 0; i < page.Objects().size(); ++i) {
        if (page.DisplayName(i) == text) {
            index = i;
            return true;
        }
    }
    std::fprintf(stderr, "pixmill-cli: no object '%s' in the page (see 'pixmill-cli page list')\n",
                 text.c_str());
    return false;
}

// pixelLimit: a canvas is a picture like any other (0: only listed, no
// canvas is made).
bool ReadCompound(const HtmlPageDoc& page, size_t index, CompoundImage& image,
                  uint64_t pixelLimit = 0) {
    try {
        image = page.ReadCompound(index);
    } catch (const CompoundSyntaxError&) {
        std::fprintf(stderr, "pixmill-cli: %s\n", CompoundText::kWrongSyntax);
        return false;
    }
    const uint64_t pixels =
        uint64_t(std::max(image.Width(), 0)) * uint64_t(std::max(image.Height(), 0));
    if (pixelLimit > 0 && pixels > pixelLimit) {
        std::fprintf(stderr,
                     "pixmill-cli: object %zu is %d x %d pixels, more than the limit of %llu "
                     "pixels (--max-pixels raises it)\n",
                     index + 1, image.Width(), image.Height(),
                     static_cast<unsigned long long>(pixelLimit));
        return false;
    }
    return true;
}

// Page work runs in long library calls that cannot look for a break: a
// watcher ends the command on Ctrl+C or SIGTERM, removing temporary files,
// as image work would stop at its next row.
class BreakWatch {
  public:
    BreakWatch()
        : watcher([this] {
              while (!done.load()) {
                  if (BreakRequested()) {
                      std::fprintf(stderr, "pixmill-cli: User break\n");
                      temporary_files::RemoveAll();
                      std::_Exit(ExitFailure);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          }) {}
    ~BreakWatch() {
        done.store(true);
        watcher.join();
    }

  private:
    std::atomic<bool> done{false};
    std::thread watcher;
};

int List(HtmlPageDoc& page) {
    for (size_t i = 0; i < page.Objects().size(); ++i) {
        const HtmlPageObject& object = page.Objects()[i];
        CompoundImage image;
        const bool read = ReadCompound(page, i, image);
        std::printf("%zu\t%s\t%d\t%s\t", i + 1, KindName(object.kind), object.number,
                    page.DisplayName(i).c_str());
        if (read) {
            std::printf("%dx%d\n", image.Width(), image.Height());
        } else {
            std::printf("?\n");
        }
    }
    return ExitOk;
}

// A canvas of no pixels makes no picture file (a plain picture whose file
// cannot be read): says so, with what the page lacks.
bool NothingToRender(const CompoundImage& image, size_t index, PluginImageFiles& files) {
    if (image.Width() > 0 && image.Height() > 0) {
        return false;
    }
    std::string reason = "it has no size";
    for (const CompoundObject& object : image.Objects()) {
        if (object.kind == CompoundKind::Image && !object.picture) {
            std::string error;
            files.Read(object.fileName, &error);
            reason = "its picture cannot be read: " + error;
            break;
        }
    }
    std::fprintf(stderr, "pixmill-cli: object %zu has nothing to render: %s\n", index + 1,
                 reason.c_str());
    return true;
}

int Render(HtmlPageDoc& page, PluginImageFiles& files, uint64_t pixelLimit,
           const Options& options) {
    const std::string& out = options.arguments[3];
    if (!options.force && SameFile(options.arguments[1], out)) {
        std::fprintf(stderr, "pixmill-cli: %s: refusing to overwrite the page (use --force)\n",
                     out.c_str());
        return ExitUsage;
    }
    size_t index = 0;
    CompoundImage image;
    if (!FindObject(page, options.arguments[2], index) ||
        !ReadCompound(page, index, image, pixelLimit)) {
        return ExitFailure;
    }
    std::string error;
    if (NothingToRender(image, index, files)) {
        return ExitFailure;
    }
    if (!files.Write(ComposeCanvas(image), out, &error)) {
        std::fprintf(stderr, "pixmill-cli: %s\n", error.c_str());
        return ExitFailure;
    }
    if (!options.quiet) {
        std::printf("%s: %d x %d\n", out.c_str(), image.Width(), image.Height());
    }
    return ExitOk;
}

int Convert(HtmlPageDoc& page, PluginImageFiles& files, const std::string& programDirectory,
            uint64_t pixelLimit, const Options& options) {
    const std::string& in = options.arguments[1];
    const std::string& out = options.outDir;
    if (out.empty()) {
        std::fprintf(stderr, "pixmill-cli: page convert needs --out NEWPAGE\n");
        return ExitUsage;
    }
    if (!options.force && (SameFile(in, out) || fs::absolute(in) == fs::absolute(out))) {
        std::fprintf(stderr,
                     "pixmill-cli: %s: refusing to overwrite the input page (use --force)\n",
                     out.c_str());
        return ExitUsage;
    }
    WriteBackOptions write;
    if (options.pageForm == "html") {
        write.form = CompoundForm::Html;
    } else if (options.pageForm == "applet") {
        write.form = CompoundForm::Applet;
    } else if (options.pageForm == "image-map") {
        write.form = CompoundForm::ImageMap;
    } else if (options.pageForm == "responsive") {
        write.form = CompoundForm::Responsive;
    } else {
        std::fprintf(stderr, "pixmill-cli: --form takes html, applet, image-map or responsive\n");
        return ExitUsage;
    }
    const std::string format = options.imageFormat.empty() ? "png" : options.imageFormat;
    if (format != "gif" && format != "png" && format != "jpg") {
        std::fprintf(stderr, "pixmill-cli: --image-format takes gif, png or jpg\n");
        return ExitUsage;
    }
    size_t index = 0;
    CompoundImage image;
    if (!FindObject(page, options.arguments[2], index) ||
        !ReadCompound(page, index, image, pixelLimit)) {
        return ExitFailure;
    }
    // A flattened picture of no pixels would hide the object in the new page.
    if (WritesFlatPicture(write.form) && NothingToRender(image, index, files)) {
        return ExitFailure;
    }
    // References in the written object are made from the new page.
    const fs::path target = fs::absolute(out).lexically_normal();
    const fs::path folder = target.parent_path();
    page.SetPageUrl(HtmlUrl::FromLocalPath(target.string()));
    write.imageDirectory = folder.string();
    write.convertExtension = "." + format;
    write.programDirectory = programDirectory;
    if (WritesFlatPicture(write.form)) {
        std::string title = image.DefaultFileName();
        if (title.empty()) {
            title = target.stem().string() + "_" + std::to_string(index + 1);
        }
        write.imagePath = (folder / (title + "." + format)).string();
        if (!options.force && fs::exists(write.imagePath)) {
            std::fprintf(stderr,
                         "pixmill-cli: %s: the picture file exists (use --force to replace it)\n",
                         write.imagePath.c_str());
            return ExitFailure;
        }
    }
    std::string error;
    if (!page.WriteBack(index, std::move(image), write, &error) || !page.Save(out, &error)) {
        std::fprintf(stderr, "pixmill-cli: %s\n", error.c_str());
        return ExitFailure;
    }
    if (!options.quiet) {
        std::printf("%s\n", out.c_str());
    }
    return ExitOk;
}

} // namespace

int CommandPage(HostServices& host, PluginManager& plugins, CUserInterface& ui,
                const std::string& programDirectory, const Options& options) {
    const std::vector<std::string>& args = options.arguments;
    const std::string sub = args.empty() ? std::string() : args[0];
    const size_t needed = sub == "list" ? 2 : sub == "render" ? 4 : sub == "convert" ? 3 : 0;
    if (needed == 0 || args.size() != needed) {
        std::fprintf(stderr, "pixmill-cli: page takes list PAGE, render PAGE OBJECT OUT or "
                             "convert PAGE OBJECT --form FORM --out NEWPAGE\n"
                             "Try 'pixmill-cli --help'.\n");
        return ExitUsage;
    }
    // Texts are drawn with the system's fonts, which need a GUI application;
    // no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "pixmill-cli";
    static char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    const BreakWatch breakWatch;
    CompoundImage::LimitCanvasPixels(host.MaxImagePixels());
    PluginImageFiles files(host, plugins);
    HtmlPageDoc page(&files, &ui);
    // The parser says why it gave up (a missing file, UTF-16, a syntax
    // error) to its warning sink; the refusal carries it.
    std::ostringstream why;
    page.Document().SetWarningSink(&why);
    const bool opened = page.Open(args[1], false);
    page.Document().SetWarningSink(nullptr);
    if (!opened) {
        // One line: the parser's message may span several.
        std::string reason;
        std::istringstream lines(why.str());
        for (std::string line; std::getline(lines, line);) {
            const size_t first = line.find_first_not_of(" \t\r");
            const size_t last = line.find_last_not_of(" \t\r");
            if (first != std::string::npos) {
                if (!reason.empty()) {
                    reason += ' ';
                }
                reason.append(line, first, last - first + 1);
            }
        }
        std::fprintf(stderr, "pixmill-cli: %s: cannot read the page%s%s\n", args[1].c_str(),
                     reason.empty() ? "" : ": ", reason.c_str());
        return ExitFailure;
    }
    if (sub == "list") {
        return List(page);
    }
    if (sub == "render") {
        return Render(page, files, host.MaxImagePixels(), options);
    }
    return Convert(page, files, programDirectory, host.MaxImagePixels(), options);
}

} // namespace pixmill::cli
