// Reading and writing the picture files of compound images. The program and
// the command line read and write through the format plug-ins
// (PluginImageFiles); the model only sees this interface.
#pragma once

#include <QImage>

#include <memory>
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

// The picture of a file shared by the objects that show it; null when there
// is no reader or the file cannot be read (the object keeps its file name).
inline std::shared_ptr<const QImage> ReadPicture(CompoundImageFiles* files,
                                                 const std::string& path) {
    if (files == nullptr || path.empty()) {
        return nullptr;
    }
    std::string error;
    QImage read = files->Read(path, &error);
    return read.isNull() ? nullptr : std::make_shared<const QImage>(std::move(read));
}

} // namespace pixmill
