// CompoundImageDoc: the compound image being edited in a window, without the
// window: the image and its composed canvas, the selected object, the tool,
// every command of the window as a method, the history of its steps (undo
// and redo of inserts, deletes, moves, region and property edits), and the checks and choices made
// before the image is saved into a page, as a page of its own or as HTML text.
#pragma once

#include "compound/compound_image.h"
#include "compound/html_page_doc.h"
#include "compound/save_into_page.h"

#include <QImage>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pixmill {

class CUserInterface;
class CompoundImageFiles;
class SettingsStore;

enum class EditTool { Select, Zoom, Rectangle, Circle, Polygon };

// What a compound image document works with: the questions and messages,
// the picture files and the store of the application-wide defaults (none:
// the defaults last while the program runs).
struct CompoundEditServices {
    CUserInterface* ui = nullptr;
    CompoundImageFiles* files = nullptr;
    SettingsStore* store = nullptr;
};

class CompoundImageDoc {
  public:
    // The file a picture is saved as, chosen by the user from a suggested
    // path; empty when cancelled.
    using PathChooser = std::function<std::string(const std::string& suggested)>;

    CompoundImageDoc(CompoundImage image, CompoundEditServices services);

    // The defaults new compound images and text objects take.
    CompoundDefaults Defaults() const;
    static CompoundDefaults LoadDefaults(SettingsStore* store);

    const CompoundImage& Image() const { return image; }
    // The canvas with its pictures and texts, as the window shows it.
    const QImage& Composed() const;
    // The status pane's canvas size, "%dx%d".
    std::string CanvasStatus() const;
    const std::string& Title() const { return title; }
    void SetTitle(std::string text) { title = std::move(text); }
    bool IsModified() const { return modified; }
    void SetModified(bool value) { modified = value; }
    // Where pictures go when the image is saved as a page of its own.
    const std::string& OutputDirectory() const { return outputDirectory; }
    void SetOutputDirectory(std::string folder) { outputDirectory = std::move(folder); }

    // Called after every change of the image or the selection.
    void SetChangedHandler(std::function<void()> handler) { changed = std::move(handler); }

    int Selected() const { return selected; }
    const CompoundObject* SelectedObject() const;
    void Select(int index);
    // The object under a canvas point: regions first (they lie over the
    // pictures), then the topmost picture or text; -1 for none.
    int ObjectAt(int x, int y) const;

    EditTool Tool() const { return tool; }
    void SetTool(EditTool value) { tool = value; }

    // Canvas size and colour; offers them as the defaults.
    bool SetCanvasProperties(int width, int height, uint32_t background);
    // A picture file as an image object at the canvas origin, on top; false
    // (after telling the user) when it cannot be read.
    bool InsertImageFile(const std::string& path);
    // A picture file as the background: painted first, under every text and
    // picture, after the regions.
    bool InsertBackgroundImage(const std::string& path);
    // A text object with the default font and colour at (x, y); its index.
    int InsertText(const std::string& text, int x, int y);
    // A picture from the clipboard as an image object without a file.
    bool PasteImage(const QImage& picture);
    // A region drawn by the user, placed before the pictures so that the
    // picture under it is found after it; its index.
    int AddRegion(CompoundObject region);

    // The selected object's picture: an image's own, otherwise what the
    // canvas shows inside its box.
    QImage SelectedPicture() const;
    // The composed canvas.
    QImage CanvasBitmap() const;

    bool CanUndo() const;
    bool CanRedo() const;
    bool Undo();
    bool Redo();
    bool DeleteSelected();

    // New properties or geometry for an object: pictures and texts keep the
    // old state as a step that can be undone; the canvas grows to hold it.
    bool ChangeObject(int index, CompoundObject changed);
    // A text's new font and colour; offers them as the defaults.
    bool ChangeTextFont(int index, const LogFont& font, uint32_t color);
    // "Do you want to change the default font to ...": on Yes the font and
    // colour become the defaults of new text objects.
    void OfferFontAsDefault(const LogFont& font, uint32_t color);

    // Writes a picture; "Unsupported image format" when the path's format
    // cannot be written (or, with webOnly, is not a web format).
    bool SavePicture(const QImage& picture, const std::string& path, bool webOnly);
    // The canvas background (without objects) as a picture file.
    bool SaveBackground(const std::string& path);
    bool Minimise();

    // The checks made before saving: an image with no text and no picture
    // cannot be saved, and pictures that are not in a web format (or have no
    // file) are saved as one first. False when saving should stop.
    bool PrepareForSaving(const PathChooser& choosePath);
    // The HTML that saving would write, in the form chosen; the image-map
    // form writes the flattened canvas as the file chosen.
    std::optional<std::string> HtmlSourceText(CompoundForm form, const PathChooser& choosePath);
    // Hands the image to the page it came from.
    bool SaveIntoPage(const SaveIntoPage& save, const PathChooser& choosePath, std::string* error);
    // Writes a page of its own holding the image in its HTML form, its
    // pictures copied beside it.
    bool SaveAsPage(const std::string& path, const PathChooser& choosePath, std::string* error);

  private:
    // The whole image as it was before a step. Objects share their
    // pictures, so a step costs the object records, not the pixels.
    struct Step {
        CompoundImage image;
        int selected = -1;
    };
    static constexpr size_t kStepLimit = 16;

    void Inserted(int index);
    void Changed();
    void ShowMessage(const std::string& caption, const std::string& text) const;
    bool Ask(const std::string& text, bool defaultAnswer) const;
    bool Restore(bool undo);
    // Keeps the image as it is now as a step to undo; a new step empties
    // the redo list.
    void RecordStep();
    void PushStep(Step before);

    CompoundImage image;
    CompoundEditServices services;
    std::vector<Step> undoSteps; // oldest first
    std::vector<Step> redoSteps;
    int selected = -1;
    EditTool tool = EditTool::Select;
    std::string title = "Compound image";
    std::string outputDirectory;
    bool modified = false;
    mutable QImage composed;
    mutable bool composedCurrent = false;
    std::function<void()> changed;
};

} // namespace pixmill
