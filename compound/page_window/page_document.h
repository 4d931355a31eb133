// PageWindowDoc: the page window's document. It holds the parsed page
// (HtmlPageDoc), remembers which editor window is open on which object and
// in which form each object was last written back, asks the questions of
// editing and deleting, writes what a compound image window saves into the
// page, and writes the page file itself ("Update Web Project"). Windows are
// reached only through ids and the closer the frame installs, so tests drive
// all of it without widgets.
#pragma once

#include "compound/html_page_doc.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pixmill {

class CUserInterface;
class CompoundImageFiles;

enum class PageEditorKind { None, Compound, ImageFile };

// The questions of the page window beyond a Yes/No.
class PageQuestions {
  public:
    virtual ~PageQuestions();
    // An OK/Cancel question; true for OK.
    virtual bool AskOkCancel(const std::string& text) = 0;
    // The form a compound image is written into the page in, offered with
    // the suggested one chosen; nothing when cancelled.
    virtual std::optional<CompoundForm> ChooseForm(CompoundForm suggested) = 0;
    // The file an image with image map is saved as (absolute); empty when
    // cancelled.
    virtual std::string AskImageFileName(const std::string& suggested) = 0;
};

// One line of the object list.
struct PageEntry {
    std::string name;
    size_t index = 0;
    int kind = HtmlPageObject::Image;
};

class PageWindowDoc {
  public:
    static constexpr const char* kCaption = "Pixmill";
    static constexpr const char* kImageOpenAsFile =
        "Image is already opened for editing.\nClose it and reopen ?";
    static constexpr const char* kImageOpenAsCompound =
        "Image is already open in Compound image.\nClose it and reopen ?";
    static constexpr const char* kDeleteWhileEdited =
        "Image is opened in edit window.\nDo you want to delete it?";
    static constexpr const char* kPreviewFailed = "Image preview failed.\nCannot create temp file.";

    PageWindowDoc(CompoundImageFiles* files, CUserInterface* ui, PageQuestions* questions);
    ~PageWindowDoc();
    PageWindowDoc(const PageWindowDoc&) = delete;
    PageWindowDoc& operator=(const PageWindowDoc&) = delete;

    // Reads the page and writes its preview copy; false when it cannot be
    // parsed (the parser told the user).
    bool Open(const std::string& path);
    const std::string& Path() const { return path; }
    // The page's file name.
    std::string Title() const;
    bool IsModified() const { return modified; }
    HtmlPageDoc& Page() { return page; }
    const HtmlPageDoc& Page() const { return page; }

    // The objects in page order with their display names.
    std::vector<PageEntry> Entries() const;
    // A plain image's file, resolved against the page.
    std::string ImagePathOf(size_t index) const;
    // The object as a compound image; nothing (the user was told) when it
    // cannot be read.
    std::optional<CompoundImage> CompoundOf(size_t index) const;

    // The object as it looks on the page, its image-map regions outlined;
    // nothing when it cannot be read (no message: this follows the
    // selection).
    std::optional<QImage> PictureOf(size_t index) const;

    // Editor windows. The frame installs the closer; it closes the window
    // with that id (which may refuse) and reports a closed window through
    // EditorClosed.
    void SetEditorCloser(std::function<void(int id)> closer) { this->closer = std::move(closer); }
    enum class EditStep { Open, Activate, Stop };
    // Before an editor of the kind opens on the object: the questions about
    // an editor of the other kind (closed on the user's word); Activate when
    // one of this kind is already open.
    EditStep PrepareEdit(size_t index, PageEditorKind kind);
    // Records an editor of the kind on the object; its id.
    int EditorOpening(size_t index, PageEditorKind kind);
    void EditorClosed(int id);
    PageEditorKind EditorKindOf(size_t index) const;
    int EditorOf(size_t index) const; // 0: none
    std::optional<size_t> ObjectOfEditor(int id) const;

    // A compound image window saves: the form is chosen (the object's last
    // choice offered first), an image with image map asks for its file, and
    // the object's element is replaced in the page.
    bool SaveIntoPage(int editorId, const CompoundImage& image, std::string* error);
    // The form the object was last written in, if any.
    std::optional<CompoundForm> LastForm(size_t index) const;

    // "Delete HTML object" with its questions; false when nothing was deleted.
    bool Delete(size_t index);
    // "Update Web Project": writes the page file and refreshes the preview.
    bool UpdateWebProject();
    // Rewrites the preview copy (its messages where it fails).
    bool RefreshPreview();

    // The folder whose "Java/" class files go with an applet.
    void SetProgramDirectory(std::string folder) { programDirectory = std::move(folder); }
    // Called after every change of the page's objects.
    void SetChanged(std::function<void()> changed) { this->changed = std::move(changed); }

  private:
    struct ObjectState {
        PageEditorKind editor = PageEditorKind::None;
        int editorId = 0;
        std::optional<CompoundForm> form;
    };
    // Closes the object's editor; false when it stayed open.
    bool CloseEditor(size_t index);
    void SyncStates();
    void Changed();
    std::string DefaultImageTitle(size_t index, const CompoundImage& image) const;

    CUserInterface* ui;
    PageQuestions* questions;
    HtmlPageDoc page;
    std::string path;
    std::string programDirectory;
    bool modified = false;
    std::vector<ObjectState> states;
    int nextEditorId = 0;
    std::function<void(int)> closer;
    std::function<void()> changed;
};

} // namespace pixmill
