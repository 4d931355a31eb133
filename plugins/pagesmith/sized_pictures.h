// The further sizes of one gallery picture: the picture as written is read
// back once, resampled to each width the profile asks for that is narrower
// than the picture itself, and saved in every output format of the run
// beside the full-size file ("dune-480.jpg", "dune-480.webp"). The thumbnail
// at twice its pixels ("dune_thumb@2x.jpg") comes from the same picture, so
// screens with two device pixels per CSS pixel show it sharp.
#pragma once

#include "gallery_image.h"
#include "pixmill/batch_interfaces.h"
#include "pixmill/cv_image.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pixmill::pagesmith {

// The file of `path` ("…/dune.jpg") at `width`: "…/dune-480.jpg".
std::string SizedName(const std::string& path, int width);
// The thumbnail of `path` ("…/dune_thumb.jpg") at twice its size:
// "…/dune_thumb@2x.jpg".
std::string DoubleThumbnailName(const std::string& path);
// The widths of `widths` a picture `ownWidth` pixels wide is written at: a
// picture is never enlarged, and a width at or above its own is the full
// picture itself.
std::vector<int> WidthsBelow(const std::vector<int>& widths, int ownWidth);

class SizedPictures {
  public:
    explicit SizedPictures(BatchHost& host) : host(host) {}

    // Reads the picture written at `bigFile` and resamples it to each of
    // `widths` below its own; "" or what went wrong.
    std::string Prepare(const std::string& bigFile, const std::vector<int>& widths);
    bool Prepared() const { return picture != nullptr; }
    int Width() const { return picture ? picture->Width() : 0; }
    int Height() const { return picture ? picture->Height() : 0; }
    void Release();

    // Saves every prepared size beside `bigFile` in its format (the index
    // among the host's formats); the files written go to `written`. "" or
    // what went wrong.
    std::string Write(const std::string& bigFile, int format, std::vector<SizedPicture>& written);
    // The thumbnail at `thumbnailFile` made again at twice its width and
    // height from the prepared picture (cut to the thumbnail's proportions
    // around its middle), in `format`, as DoubleThumbnailName. False when
    // the picture is not twice as large as the thumbnail (nothing sharper
    // to show) or on an error (`error` says which).
    bool WriteDoubleThumbnail(const std::string& thumbnailFile, int format, std::string& error);

    // The host's format that writes files with this extension (case
    // ignored), or -1.
    static int FormatForExtension(BatchHost& host, const std::string& extension);

  private:
    std::unique_ptr<CVImage> Load(const std::string& file, std::string& error);
    bool Save(CVImage& image, const std::string& file, int format, std::string& error);

    BatchHost& host;
    std::unique_ptr<CVImage> picture;
    std::vector<std::pair<int, std::unique_ptr<CVImage>>> sizes;
};

} // namespace pixmill::pagesmith
