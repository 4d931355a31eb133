#include "page_generator.h"

#include "html/html_document.h"
#include "html/html_node.h"
#include "html/html_source.h"
#include "html/html_text_util.h"
#include "html_template.h"
#include "modern_pages.h"
#include "pagesmith_strings.h"
#include "pixmill/side_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

namespace pixmill::pagesmith {

namespace {

const char* const kAlign[] = {"LEFT", "CENTER", "RIGHT", "JUSTIFY"};

HtmlContainer* Add(HtmlChildList& list, const char* name) {
    return static_cast<HtmlContainer*>(list.Append(std::make_unique<HtmlContainer>(name)));
}
HtmlElement* AddLeaf(HtmlChildList& list, const char* name) {
    return static_cast<HtmlElement*>(list.Append(std::make_unique<HtmlElement>(name)));
}
void AddText(HtmlChildList& list, const std::string& text) {
    list.Append(std::make_unique<HtmlText>(html::EscapeHtmlText(text)));
}
void AddLine(HtmlChildList& list) {
    list.Append(std::make_unique<HtmlLineBreak>());
}
HtmlContainer* AddLink(HtmlChildList& list, const std::string& href, const std::string& text) {
    HtmlContainer* link = Add(list, "A");
    link->SetTextAttribute("HREF", LinkTarget(href));
    AddText(link->Children(), text);
    return link;
}

// A title in the title settings' font: FONT, then B, I, U and S inside.
void AddStyledText(HtmlChildList& list, const std::string& text, const TitleSettings& style) {
    HtmlChildList* into = &list;
    if (style.useTextColor || style.fontSize > 0) {
        HtmlContainer* font = Add(*into, "FONT");
        if (style.useTextColor) {
            font->SetAttribute("COLOR", HtmlColor(style.textColor));
        }
        if (style.fontSize > 0) {
            font->SetIntAttribute("SIZE", std::clamp(style.fontSize, 1, 7));
        }
        into = &font->Children();
    }
    const std::pair<bool, const char*> faces[] = {
        {style.bold, "B"}, {style.italic, "I"}, {style.underline, "U"}, {style.strike, "S"}};
    for (const auto& [on, tag] : faces) {
        if (on) {
            into = &Add(*into, tag)->Children();
        }
    }
    AddText(*into, text);
}

// The cell of a title: alignment, background, NOWRAP or (with wrap) a width.
void StyleTitleCell(HtmlElement* cell, const TitleSettings& style, int width) {
    cell->SetAttribute("ALIGN", kAlign[std::clamp(style.textAlign, 0, 3)]);
    if (style.useBackgroundColor) {
        cell->SetAttribute("BGCOLOR", HtmlColor(style.backgroundColor));
    }
    if (style.wrap) {
        if (width > 0) {
            cell->SetIntAttribute("WIDTH", width);
        }
    } else {
        cell->SetAttribute("NOWRAP", "");
    }
}

void StyleTable(HtmlElement* table, int border, int spacing, int padding, int borderStyle,
                ColorValue color, ColorValue light, ColorValue dark) {
    table->SetIntAttribute("BORDER", border);
    table->SetIntAttribute("CELLSPACING", spacing);
    table->SetIntAttribute("CELLPADDING", padding);
    if (border > 0) {
        if (borderStyle == BorderRaised) {
            table->SetAttribute("BORDERCOLORLIGHT", HtmlColor(light));
            table->SetAttribute("BORDERCOLORDARK", HtmlColor(dark));
        } else {
            table->SetAttribute("BORDERCOLOR", HtmlColor(color));
        }
    }
}

// An automatic page: head with its title, body with the page settings and
// the header and footer files around the content.
class AutomaticPage {
  public:
    AutomaticPage(const std::string& title, const PageSettings& settings, const PageNames& names,
                  const PageGenerator::Log& log)
        : settings(settings), log(log) {
        HtmlContainer* html = Add(document.Root(), "HTML");
        AddLine(html->Children());
        HtmlContainer* head = Add(html->Children(), "HEAD");
        AddLeaf(head->Children(), "META")->SetAttribute("CHARSET", "\"utf-8\"");
        AddText(Add(head->Children(), "TITLE")->Children(), title);
        body = Add(html->Children(), "BODY");
        if (settings.useBackgroundColor) {
            body->SetAttribute("BGCOLOR", HtmlColor(settings.backgroundColor));
        }
        if (settings.useActiveColor) {
            body->SetAttribute("ALINK", HtmlColor(settings.activeLinkColor));
        }
        if (settings.useVisitedColor) {
            body->SetAttribute("VLINK", HtmlColor(settings.visitedLinkColor));
        }
        if (!settings.backgroundImage.empty()) {
            body->SetTextAttribute("BACKGROUND",
                                   LinkTarget(Local(settings.backgroundImage, names)));
        }
        Merge(settings.headerFile, settings.radioSet == SettingsFromHeader);
        AddLine(body->Children());
    }

    HtmlChildList& Body() { return body->Children(); }

    std::string Finish() {
        Merge(settings.footerFile, false);
        return document.ToString();
    }

  private:
    // A picture named by an absolute path is copied beside the pages, so the
    // gallery can move as one folder.
    std::string Local(const std::string& path, const PageNames& names) {
        namespace fs = std::filesystem;
        if (!fs::path(path).is_absolute()) {
            return path;
        }
        const std::string name = FileNameOf(path);
        std::error_code error;
        fs::copy_file(path, names.Path(name), fs::copy_options::overwrite_existing, error);
        return name;
    }

    // The body of a header or footer file goes into the page; with
    // takeSettings its BODY attributes replace the page's own.
    void Merge(const std::string& file, bool takeSettings) {
        if (file.empty()) {
            return;
        }
        std::string text;
        try {
            text = ReadSideFile(file, "a header or footer file");
        } catch (CVFileError& error) {
            log(error.Message());
            return;
        }
        HtmlDocument part;
        std::ostringstream sink;
        part.SetWarningSink(&sink);
        HtmlSource source(file, text.data(), text.size());
        const bool parsed = part.Parse(source);
        part.SetWarningSink(nullptr);
        if (!sink.str().empty()) {
            log(sink.str());
        }
        if (!parsed) {
            return;
        }
        HtmlContainer* partBody = part.Body();
        if (partBody == nullptr) {
            return;
        }
        if (takeSettings) {
            body->SetAttributes(partBody->Attributes());
        }
        body->Children().TakeChildren(partBody->Children());
    }

    const PageSettings& settings;
    const PageGenerator::Log& log;
    HtmlDocument document;
    HtmlContainer* body = nullptr;
};

// "Index", "First", "Previous", "Next", "Last" in a link table.
void AddNavigation(HtmlChildList& body, const LinkTable& style, const std::string& index,
                   const std::vector<std::string>& pages, int current) {
    std::vector<std::pair<std::string, std::string>> links;
    if (!index.empty()) {
        links.emplace_back("Index", index);
    }
    const int count = static_cast<int>(pages.size());
    if (count > 1) {
        links.emplace_back("First", pages.front());
        links.emplace_back("Previous", pages[static_cast<size_t>(std::max(current - 1, 0))]);
        links.emplace_back("Next", pages[static_cast<size_t>(std::min(current + 1, count - 1))]);
        links.emplace_back("Last", pages.back());
    }
    if (links.empty()) {
        return;
    }
    HtmlContainer* table = Add(body, "TABLE");
    StyleTable(table, style.border, style.spacing, style.padding, BorderPlain, 0, 0, 0);
    const int columns = std::max(style.columns, 1);
    HtmlContainer* row = nullptr;
    for (size_t i = 0; i < links.size(); ++i) {
        if (i % static_cast<size_t>(columns) == 0) {
            row = Add(table->Children(), "TR");
        }
        AddLink(Add(row->Children(), "TD")->Children(), links[i].second, links[i].first);
    }
}

} // namespace

PageGenerator::PageGenerator(const HtmlProfile& profile, const std::string& projectPath, Log log)
    : profile(profile), names(projectPath), log(std::move(log)) {}

int PageGenerator::AutomaticPlaces(int imageCount) const {
    const ThumbnailTable& table = profile.thumbnailTable;
    if (table.limitRows) {
        return std::max(table.columns, 1) * std::max(table.rows, 1);
    }
    return std::max(imageCount, 1);
}

std::pair<std::string, std::string> PageGenerator::ThumbnailLink(const GalleryImage& image,
                                                                 int number) const {
    if (!profile.project.createZoomPages || !image.bigPresent) {
        return {};
    }
    if (profile.project.zoomStyle == ZoomPage) {
        return {LinkTarget(names.Zoom(number)), {}};
    }
    const std::string target = LinkTarget(FileNameOf(image.bigFile));
    if (profile.justZoom.justStyle != JustModalWindow) {
        return {target, {}};
    }
    // Browsers of today have no modal page windows: the same click opens the
    // picture in a new window there.
    std::string quoted;
    for (const char c : target) {
        if (c == '\'' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return {{},
            "if(window.showModalDialog)window.showModalDialog('" + quoted +
                "');else window.open('" + quoted + "');return false;"};
}

bool PageGenerator::WriteFile(const std::string& name, const std::string& text,
                              std::vector<std::string>& written) {
    const std::string path = names.Path(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (file.fail()) {
        log("Cannot write " + path + "\r\n");
        return false;
    }
    written.push_back(path);
    return true;
}

void PageGenerator::WriteDownload(const std::vector<GalleryImage>& images,
                                  std::vector<std::string>& written) {
    download = PictureDownload{};
    if (!profile.project.pictureZip) {
        return;
    }
    // Every big picture the run wrote, in every format, in the gallery's
    // order; a file is one entry however often the list names it.
    std::vector<std::string> files;
    std::set<std::string> taken;
    const auto take = [&](const std::string& file) {
        if (taken.insert(file).second) {
            files.push_back(file);
        }
    };
    for (const GalleryImage& image : images) {
        if (image.bigPresent && !image.bigFile.empty()) {
            take(image.bigFile);
            std::for_each(image.otherFiles.begin(), image.otherFiles.end(), take);
        }
    }
    if (files.empty()) {
        return;
    }
    const std::string path = names.Path(names.Zip());
    if (std::string error = WritePictureZip(path, files); !error.empty()) {
        // The pages are still written, without the link to a missing file.
        log(error + "\r\n");
        return;
    }
    std::error_code error;
    download.name = names.Zip();
    download.bytes = std::filesystem::file_size(path, error);
    written.push_back(path);
    log("Zip of the pictures written: " + path + " (" + std::to_string(files.size()) +
        " files, " + std::to_string(download.bytes) + " bytes)\r\n");
}

std::vector<std::string> PageGenerator::Generate(const std::vector<GalleryImage>& images) {
    std::vector<std::string> written;
    // The zip first: the index shows its size.
    WriteDownload(images, written);
    if (profile.project.modernPages) {
        WriteModernGallery(
            profile, names, images,
            [&](const std::string& name, const std::string& text) {
                return WriteFile(name, text, written);
            },
            download);
        return written;
    }
    thumbnailPageCount = 0;
    auto guarded = [&](auto make) {
        try {
            make();
        } catch (HtmlError& error) {
            log(std::string(error.Report(false)) + "\r\n");
        }
    };
    if (WantThumbnailPages() && !images.empty()) {
        guarded([&] {
            for (std::string& page : ThumbnailPages(images)) {
                written.push_back(std::move(page));
            }
        });
    }
    int zoomCount = 0;
    if (WantZoomPages()) {
        guarded([&] {
            for (std::string& page : ZoomPages(images)) {
                written.push_back(std::move(page));
                ++zoomCount;
            }
        });
    }
    if (WantIndex()) {
        WriteFile(names.Index(), IndexPage(thumbnailPageCount, zoomCount), written);
    }
    return written;
}

std::vector<std::string> PageGenerator::ThumbnailPages(const std::vector<GalleryImage>& images) {
    std::vector<std::string> written;
    const int count = static_cast<int>(images.size());
    const bool fromTemplate = profile.project.thumbnailStyle == ThumbnailsFromTemplate;
    std::unique_ptr<HtmlTemplate> pageTemplate;
    int perPage = AutomaticPlaces(count);
    if (fromTemplate) {
        pageTemplate = std::make_unique<HtmlTemplate>(HtmlTemplate::Kind::Thumbnail,
                                                      profile.project.thumbnailTemplate);
        if (!pageTemplate->Read(log)) {
            return written;
        }
        perPage = pageTemplate->Places();
    }
    const int pages = (count + perPage - 1) / perPage;
    std::vector<std::string> pageNames;
    for (int k = 0; k < pages; ++k) {
        pageNames.push_back(names.Thumbnail(k, pages));
    }
    const std::string index = WantIndex() ? names.Index() : std::string();
    for (int k = 0; k < pages; ++k) {
        const int first = k * perPage;
        const int last = std::min(first + perPage, count);
        std::string text;
        if (fromTemplate) {
            std::vector<TemplatePlace> places;
            for (int i = first; i < last; ++i) {
                const GalleryImage& image = images[static_cast<size_t>(i)];
                auto [href, onclick] = ThumbnailLink(image, i + 1);
                places.push_back({LinkTarget(FileNameOf(image.thumbnailFile)), image.thumbnailTitle,
                                  href, onclick});
            }
            TemplateLinks links;
            if (!index.empty()) {
                links.targets[0] = LinkTarget(index);
            }
            if (pages > 1) {
                links.targets[1] = LinkTarget(pageNames.front());
                links.targets[2] = LinkTarget(pageNames[static_cast<size_t>(std::max(k - 1, 0))]);
                links.targets[3] =
                    LinkTarget(pageNames[static_cast<size_t>(std::min(k + 1, pages - 1))]);
                links.targets[4] = LinkTarget(pageNames.back());
            }
            text = pageTemplate->Fill(places, links);
        } else {
            const ThumbnailTable& style = profile.thumbnailTable;
            AutomaticPage page(names.Base() + std::string(" - Page ") + std::to_string(k + 1),
                               profile.thumbnailPage, names, log);
            if (!style.titleText.empty()) {
                HtmlContainer* heading = Add(page.Body(), "P");
                heading->SetAttribute("ALIGN",
                                      kAlign[std::clamp(profile.thumbnailTitle.textAlign, 0, 3)]);
                AddStyledText(heading->Children(), style.titleText, profile.thumbnailTitle);
            }
            HtmlContainer* table = Add(page.Body(), "TABLE");
            StyleTable(table, style.border, style.spacing, style.padding, style.borderStyle,
                       style.borderColor, style.lightBorderColor, style.darkBorderColor);
            const int columns = std::max(style.columns, 1);
            HtmlContainer* row = nullptr;
            for (int i = first; i < last; ++i) {
                const GalleryImage& image = images[static_cast<size_t>(i)];
                if ((i - first) % columns == 0) {
                    row = Add(table->Children(), "TR");
                }
                HtmlContainer* cell = Add(row->Children(), "TD");
                const ThumbnailCell& cellStyle = profile.thumbnailCell;
                cell->SetAttribute("ALIGN", "CENTER");
                cell->SetAttribute("VALIGN", "MIDDLE");
                if (cellStyle.useCellColor) {
                    cell->SetAttribute("BGCOLOR", HtmlColor(cellStyle.cellColor));
                }
                auto addTitle = [&] {
                    if (style.includeTitle) {
                        AddLeaf(cell->Children(), "BR");
                        AddStyledText(cell->Children(), image.thumbnailTitle,
                                      profile.thumbnailTitle);
                    }
                };
                if (style.titleLocation == TitleAbove) {
                    addTitle();
                    AddLeaf(cell->Children(), "BR");
                }
                HtmlChildList* into = &cell->Children();
                auto [href, onclick] = ThumbnailLink(image, i + 1);
                if (!href.empty() || !onclick.empty()) {
                    HtmlContainer* link = Add(*into, "A");
                    if (!href.empty()) {
                        link->SetTextAttribute("HREF", href);
                    } else {
                        link->SetTextAttribute("ONCLICK", onclick);
                        link->SetTextAttribute("STYLE", "cursor:hand;cursor:pointer");
                    }
                    into = &link->Children();
                }
                HtmlElement* img = AddLeaf(*into, "IMG");
                img->SetTextAttribute("SRC", LinkTarget(FileNameOf(image.thumbnailFile)));
                img->SetTextAttribute("ALT", html::EscapeHtmlText(image.itemName));
                img->SetIntAttribute("BORDER", cellStyle.imageBorder ? cellStyle.border : 0);
                img->SetIntAttribute("VSPACE", cellStyle.cellSpacing);
                img->SetIntAttribute("HSPACE", cellStyle.cellSpacing);
                if (style.titleLocation != TitleAbove) {
                    addTitle();
                }
            }
            AddNavigation(page.Body(), profile.zoomLink, index, pageNames, k);
            text = page.Finish();
        }
        if (!WriteFile(pageNames[static_cast<size_t>(k)], text, written)) {
            break;
        }
    }
    thumbnailPageCount = static_cast<int>(written.size());
    return written;
}

std::vector<std::string> PageGenerator::ZoomPages(const std::vector<GalleryImage>& images) {
    std::vector<std::string> written;
    const bool fromTemplate = profile.project.zoomSubstyle == ZoomFromTemplate;
    std::unique_ptr<HtmlTemplate> pageTemplate;
    if (fromTemplate) {
        pageTemplate =
            std::make_unique<HtmlTemplate>(HtmlTemplate::Kind::Zoom, profile.project.zoomTemplate);
        if (!pageTemplate->Read(log)) {
            return written;
        }
    }
    const int count = static_cast<int>(images.size());
    std::vector<std::string> pageNames;
    for (int j = 1; j <= count; ++j) {
        pageNames.push_back(names.Zoom(j));
    }
    const std::string index = WantIndex() ? names.Index() : std::string();
    for (int j = 0; j < count; ++j) {
        const GalleryImage& image = images[static_cast<size_t>(j)];
        const std::string source = LinkTarget(FileNameOf(image.bigFile));
        std::string text;
        if (fromTemplate) {
            TemplateLinks links;
            if (!index.empty()) {
                links.targets[0] = LinkTarget(index);
            }
            text = pageTemplate->Fill({{source, image.zoomTitle, {}, {}}}, links);
        } else {
            const ZoomImage& style = profile.zoomImage;
            AutomaticPage page(image.zoomTitle.empty() ? image.itemName : image.zoomTitle,
                               profile.zoomPage, names, log);
            HtmlContainer* table = Add(page.Body(), "TABLE");
            table->SetAttribute("ALIGN", "CENTER");
            StyleTable(table, style.border, style.spacing, style.padding, style.borderStyle,
                       style.borderColor, style.lightBorderColor, style.darkBorderColor);
            auto addTitle = [&] {
                if (style.includeTitle) {
                    HtmlContainer* cell = Add(Add(table->Children(), "TR")->Children(), "TD");
                    StyleTitleCell(cell, profile.zoomTitle, image.width);
                    AddStyledText(cell->Children(), image.zoomTitle, profile.zoomTitle);
                }
            };
            if (style.titleStyle == TitleAbove) {
                addTitle();
            }
            HtmlContainer* cell = Add(Add(table->Children(), "TR")->Children(), "TD");
            cell->SetAttribute("ALIGN", "CENTER");
            if (style.useCellColor) {
                cell->SetAttribute("BGCOLOR", HtmlColor(style.cellColor));
            }
            HtmlElement* img = AddLeaf(cell->Children(), "IMG");
            img->SetTextAttribute("SRC", source);
            img->SetTextAttribute("ALT", html::EscapeHtmlText(image.itemName));
            if (image.width > 0 && image.height > 0) {
                img->SetIntAttribute("WIDTH", image.width);
                img->SetIntAttribute("HEIGHT", image.height);
            }
            img->SetIntAttribute("BORDER", 0);
            if (style.titleStyle != TitleAbove) {
                addTitle();
            }
            AddNavigation(page.Body(), profile.zoomLink, index, pageNames, j);
            text = page.Finish();
        }
        if (!WriteFile(pageNames[static_cast<size_t>(j)], text, written)) {
            break;
        }
    }
    return written;
}

std::string PageGenerator::IndexPage(int thumbnailPages, int zoomPages) {
    AutomaticPage page(names.Base(), profile.contentPage, names, log);
    HtmlContainer* heading = Add(page.Body(), "H2");
    AddText(heading->Children(), names.Base());
    if (thumbnailPages > 0) {
        HtmlContainer* list = Add(page.Body(), "UL");
        for (int k = 0; k < thumbnailPages; ++k) {
            HtmlContainer* item = Add(list->Children(), "LI");
            AddLink(item->Children(), names.Thumbnail(k, thumbnailPages),
                    std::string("Page ") + std::to_string(k + 1));
        }
    }
    if (zoomPages > 0) {
        const LinkTable& style = profile.zoomLink;
        HtmlContainer* table = Add(page.Body(), "TABLE");
        StyleTable(table, style.border, style.spacing, style.padding, BorderPlain, 0, 0, 0);
        const int columns = std::max(style.columns, 1);
        HtmlContainer* row = nullptr;
        for (int j = 0; j < zoomPages; ++j) {
            if (j % columns == 0) {
                row = Add(table->Children(), "TR");
            }
            AddLink(Add(row->Children(), "TD")->Children(), names.Zoom(j + 1),
                    std::string("Zoom page ") + std::to_string(j + 1));
        }
    }
    if (!download.name.empty()) {
        AddLink(Add(page.Body(), "P")->Children(), download.name, download.LinkText());
    }
    return page.Finish();
}

} // namespace pixmill::pagesmith
