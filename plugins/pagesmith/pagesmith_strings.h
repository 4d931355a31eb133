// The web-page destination's string table: texts by identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::pagesmith {

enum StringId : int {
    IdName = 1,
    IdMustSelect = 2,
    IdThumbnailTitleLabel = 3,
    IdThumbnailTitleCaption = 4,
    IdZoomTitleLabel = 5,
    IdZoomTitleCaption = 6,
    IdProfileExists = 7,
    IdRemoveProfile = 8,
    IdProfileFilter = 9,
    IdDefaultConfig = 10,
    IdNoBrowser = 11,
    IdFileNotFound = 12,
    IdPathNotFound = 13,
    IdDdeFailed = 14,
    IdNoAssociation = 15,
    IdUserCancelled = 16,
    IdSharingViolation = 17,
    // Template errors (HtmlLogicalError codes).
    IdNoImagesInTemplate = 20,
    IdZoomOneProxyImage = 21,
    IdZoomOneProxyText = 22,
    IdZoomOnlyContentLinks = 23,
    IdTemplateNeedsName = 24,
    IdTemplateNeedsProxy = 25,
    IdTooFewProxyTexts = 26,
    IdTooManyProxyTexts = 27,
    IdParsingError = 28,
    IdFailCreateDirectory = 29,
    IdNeedProject = 30,
};

// The library's texts (read with LookupString).
extern const StringTable kStrings;

// The destination's help page.
inline constexpr int kHelpDestination = 122;

} // namespace pixmill::pagesmith
