#include "host/doc_template.h"

#include "host/image_doc.h"
#include "pixmill/format_plugin.h"

namespace pixmill {

DocumentStrings DocumentStringsOf(CFormatPlugin* format) {
    DocumentStrings strings;
    const std::string name = format->GetName(true);
    const std::string extensions = format->GetExtensions();
    strings.filterName = name + " (" + extensions + ")";
    strings.filterExtension = extensions.empty() ? std::string() : extensions.substr(1);
    strings.typeName = name;
    for (char& c : strings.typeName) {
        if (c == ' ') {
            c = '_';
        }
    }
    strings.full = "\n" + name + "\n\n" + strings.filterName + "\n" + strings.filterExtension +
                   "\n" + strings.typeName + "\n" + strings.typeName;
    return strings;
}

ImageDocTemplate::ImageDocTemplate(HostServices& host, PluginManager& plugins,
                                   CFormatPlugin* format)
    : host(host), plugins(plugins), format(format), strings(DocumentStringsOf(format)) {}

std::string ImageDocTemplate::NextUntitledTitle() {
    ++untitledCount;
    return "Untitled" + std::to_string(untitledCount);
}

std::unique_ptr<ImageDoc> ImageDocTemplate::OpenFromImage(const CVImage& image,
                                                          const ImageMetadata* metadata) {
    auto document = std::make_unique<ImageDoc>(host, plugins);
    document->SetTitle(NextUntitledTitle());
    document->TakeImage(image, format, metadata);
    return document;
}

std::unique_ptr<ImageDoc> ImageDocTemplate::OpenFromStream(CVStream* stream,
                                                           const std::string& path) {
    auto document = std::make_unique<ImageDoc>(host, plugins);
    document->SetTitle(path.empty() ? NextUntitledTitle() : path);
    if (!path.empty()) {
        document->SetPathForStream(path);
    }
    if (!document->ReadFromStream(stream)) {
        return nullptr;
    }
    return document;
}

} // namespace pixmill
