// Reading and writing the picture files of compound images. The program and
// the command line read and write through the format plug-ins
// (PluginImageFiles); the model only sees this interface.
#pragma once

#include <QImage>

#include <string>

namespace pixmill {

class CompoundImageFiles {
  public:
    virtual ~CompoundImageFiles() = default;
    // The picture of a file; a null image (and the reason in *error) when it
    // cannot be read.
    virtual QImage Read(const std::string& path, std::string* error) = 0;
    // Writes the picture in the format of the path's extension, replacing
    // the file only when the whole picture was written.
    virtual bool Write(const QImage& picture, const std::string& path, std::string* error) = 0;
};

} // namespace pixmill
