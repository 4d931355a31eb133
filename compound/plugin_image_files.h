// Picture files of compound images read and written through the program's
// format plug-ins, and the conversions between the image record and QImage.
#pragma once

#include "compound/image_files.h"

namespace pixmill {

class HostServices;
class PluginManager;
class CVImage;

// The picture of an image record of any depth (palettes applied; a record
// with an alpha plane gives a picture with alpha).
QImage QImageOf(const CVImage& image);
// A 24-bit image record of a picture, or one with an alpha plane where the
// picture has partly transparent pixels.
void CVImageOf(const QImage& picture, CVImage& image);

class PluginImageFiles : public CompoundImageFiles {
  public:
    PluginImageFiles(HostServices& host, PluginManager& plugins) : host(host), plugins(plugins) {}
    QImage Read(const std::string& path, std::string* error) override;
    // Paletted formats get the picture reduced by the colour plug-in.
    bool Write(const QImage& picture, const std::string& path, std::string* error) override;

  private:
    HostServices& host;
    PluginManager& plugins;
};

} // namespace pixmill
