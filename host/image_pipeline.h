// ImagePipeline: open an image by its content, run a chain of operations on
// it and save it in the format of the target's extension (converted to a kind
// that format stores; written under a temporary name and renamed, so a failed
// save leaves no partial file), through the document and so through the one
// read and write path of image_io.h. The command line's convert and the
// compound pages' picture files use it; it is Qt-free.
#pragma once

#include "host/image_doc.h"
#include "host/image_io.h" // the read and write path the pipeline's callers share
#include "pixmill/win_types.h"

#include <optional>
#include <string>
#include <vector>

namespace pixmill {

class HostServices;
class PluginManager;
class ProgressDisplay;

class ImagePipeline {
  public:
    struct Step {
        int commandId = 0;
        std::string name; // as the user named it, for messages
    };

    ImagePipeline(HostServices& host, PluginManager& plugins, ProgressDisplay* display);

    // An operation by its menu name without "&": "GROUP NAME", or the name
    // alone for an operation without a group. Returns its command identifier,
    // or 0 when no loaded operation has that name.
    static int FindOperation(PluginManager& plugins, const std::string& name);
    // The menu text without its "&" marks ("&&" stays one "&").
    static std::string StripAmpersands(const std::string& text);

    // A format-specific write adjustment handed to the codec (JPEG: a quality
    // offset of -100..100).
    void SetWriteParameter(std::optional<int> value) { document.SetWriteParameter(value); }
    // Saves without the picture's ICC profile and EXIF.
    void SetStripMetadata(bool strip) { document.SetStripMetadata(strip); }
    // Saves sRGB pixels without a profile.
    void SetConvertToSrgb(bool on) { document.SetConvertToSrgb(on); }
    // Saves without private EXIF (location, serial numbers, names).
    void SetMetadataPrivacy(MetadataPrivacy privacy) { document.SetMetadataPrivacy(privacy); }

    // Run decodes a JPEG picture at 1/2, 1/4 or 1/8 of its size when the
    // first step shrinks it at least twice to a size of its own (a resample
    // to a box; reduced_decode.h); off (the default), every picture is
    // decoded whole.
    void SetReducedDecode(bool on) { reducedDecode = on; }

    // Each step returns false on failure; Error() then holds the message to
    // show, naming the file concerned. firstStep (optional) is the step Run
    // applies first, which may choose a reduced decode.
    bool Open(const std::string& path, const Step* firstStep = nullptr);
    bool Apply(const Step& step);
    bool Save(const std::string& path);
    // Open, every step in order, save.
    bool Run(const std::string& in, const std::vector<Step>& steps, const std::string& out);

    ImageDoc& Document() { return document; }
    const std::string& Error() const { return error; }

  private:
    // The image kinds the operation accepts, as text ("8-bit grey or 24-bit
    // colour").
    std::string KindsAccepted(int commandId);

    HostServices& host;
    PluginManager& plugins;
    ImageDoc document;
    std::string input;
    std::string error;
    bool reducedDecode = false;
};

} // namespace pixmill
