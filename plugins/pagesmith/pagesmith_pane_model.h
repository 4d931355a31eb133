// The settings page's property pages as data: each page edits one part of
// the profile, each field names its label, its kind, its limits and the
// value it edits. The widgets are built from this list.
#pragma once

#include "html_profile.h"

#include <string>
#include <vector>

namespace pixmill::pagesmith {

struct PageField {
    enum Kind { Flag, Number, Color, Text, File, Choice };
    Kind kind = Number;
    const char* label = "";
    bool* flag = nullptr;
    int* number = nullptr;
    std::string* text = nullptr;
    int minimum = 0, maximum = 0;
    std::vector<const char*> choices; // Choice: the texts of the values 0, 1, ...
};

struct PropertyPage {
    const char* title = "";
    std::vector<PageField> fields;
    // Whether the page matters for the page kinds and styles chosen.
    bool (*relevant)(const ProjectSettings& project) = nullptr;
};

// The property page after (delta 1) or before (-1) current that matters
// for the chosen page kinds; 0 is the first page; -1 when there is none.
int StepPage(const std::vector<PropertyPage>& pages, const ProjectSettings& project, int current,
             int delta);

// The property pages over the profile, in wizard order: thumbnail page,
// table, cell, title, template page; zoom page, image, title, links, template
// page, just image; index page.
std::vector<PropertyPage> PropertyPages(HtmlProfile& profile);

} // namespace pixmill::pagesmith
