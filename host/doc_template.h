// ImageDocTemplate: one per loaded format. Builds the format's document
// strings (file-dialog filter, extension, type name) and makes documents from
// images and streams that did not come from a file of their own.
#pragma once

#include <memory>
#include <string>

namespace pixmill {

class HostServices;
class PluginManager;
class CFormatPlugin;
class ImageDoc;
class CVImage;
class CVStream;
struct ImageMetadata;

struct DocumentStrings {
    std::string full;            // "\nTIFF...\n" as the template keeps it
    std::string filterName;      // "Tagged Image File Format (*.tif;*.tiff)"
    std::string filterExtension; // ".tif;*.tiff"
    std::string typeName;        // "Tagged_Image_File_Format"
};

DocumentStrings DocumentStringsOf(CFormatPlugin* format);

class ImageDocTemplate {
  public:
    ImageDocTemplate(HostServices& host, PluginManager& plugins, CFormatPlugin* format);

    CFormatPlugin* Format() const { return format; }
    const DocumentStrings& Strings() const { return strings; }

    // A new untitled document holding a share of image.
    std::unique_ptr<ImageDoc> OpenFromImage(const CVImage& image,
                                            const ImageMetadata* metadata = nullptr);
    // A new document read from stream by content; path (may be empty)
    // becomes its title and path. Null when reading failed.
    std::unique_ptr<ImageDoc> OpenFromStream(CVStream* stream, const std::string& path);
    int UntitledCount() const { return untitledCount; }

  private:
    std::string NextUntitledTitle();

    HostServices& host;
    PluginManager& plugins;
    CFormatPlugin* format;
    DocumentStrings strings;
    int untitledCount = 0;
};

} // namespace pixmill
