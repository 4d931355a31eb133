#include "pagesmith_strings.h"

namespace pixmill::pagesmith {

namespace {
constexpr StringEntry kEntries[] = {
    {IdName, "HTML pages"},
    {IdMustSelect, "You must select:\nCreate thumbnail pages or\nZoomed images"},
    {IdThumbnailTitleLabel, "Thumbnail title:"},
    {IdThumbnailTitleCaption, "Enter thumbnail title"},
    {IdZoomTitleLabel, "Zoom image title:"},
    {IdZoomTitleCaption, "Enter zoom image title"},
    {IdProfileExists,
     "The HTML profile %s already exists\nDo you want to replace this configuration?"},
    {IdRemoveProfile, "Do you want to remove '%s' configuration?"},
    {IdProfileFilter, "Html generation profiles (*.vhb)|*.vhb||"},
    {IdDefaultConfig, "Default"},
    {IdNoBrowser, "Microsoft Internet Explorer required for preview."},
    {IdFileNotFound, "The file %s was not found."},
    {IdPathNotFound, "The path %s was not found."},
    {IdDdeFailed, "The DDE transaction failed."},
    {IdNoAssociation, "There is no application associated with the given filename extension."},
    {IdUserCancelled, "The function prompted the user for the location of the application, but "
                      "the user cancelled the request."},
    {IdSharingViolation, "A sharing violation occurred."},
    {IdNoImagesInTemplate, "There are no images to change in template"},
    {IdZoomOneProxyImage, "On zoom template page should be only one proxy image"},
    {IdZoomOneProxyText, "Only one proxy text can be on zoom page"},
    {IdZoomOnlyContentLinks, "In Zoom file template can be only links to content file"},
    {IdTemplateNeedsName, "You should specify name of template"},
    {IdTemplateNeedsProxy, "You should specify proxy image name"},
    {IdTooFewProxyTexts, "There are fewer signs for images than images in template"},
    {IdTooManyProxyTexts, "Quantity of sign for images is greater,then number of images.\n Only "
                          "signs till number of images will be processed\n"},
    {IdParsingError, "Parsing error"},
    {IdFailCreateDirectory, "Fail to create directory %s"},
    {IdNeedProject, "You should specify the project file name"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::pagesmith
