// ProcessingPageModel: what the Processing page and the "Image processing"
// dialog decide, without widgets. The operations tree with its three-state
// checks (a parent follows its format children), the current item whose
// settings are shown, the "&Add " button's text and enabling, and the
// favourites. The tree's checks go into the job only when they are taken
// over (ApplyStates), so Cancel changes nothing.
#pragma once

#include "batch/batch_job.h"

#include <string>
#include <vector>

namespace pixmill {

class ProcessingPageModel {
  public:
    enum Check { Clear = 0, Ticked = 1, Partly = 2 };
    enum ItemKind {
        NoItem = 0,
        FormatItem = BatchJob::FavoriteFormat,
        OperationItem = BatchJob::FavoriteOperation
    };

    struct Node {
        std::string label;
        int operation = 0; // index into the job's Operations()
        int format = -1;   // a format child: index into the job's Formats()
        int parent = -1;   // -1 for a top-level item
        int check = Clear;
        std::vector<int> children;
    };

    // selectedFormatsOnly: format children only for the chosen output
    // formats (the batch dialog's "&More...").
    explicit ProcessingPageModel(BatchJob& job, bool selectedFormatsOnly = false);

    // Fills the tree from the job's chosen settings again.
    void Reload();
    const std::vector<Node>& Nodes() const { return nodes; }
    const std::vector<int>& TopLevel() const { return topLevel; }
    // The top-level node of an operation, or -1.
    int NodeOfOperation(int operation) const;

    // Ticks or clears an item: a parent passes it to all its children, a
    // child's parent follows. A cleared operation leaves the favourites.
    void SetChecked(int node, bool on);
    // "&Convert To :": the format's selected flag follows the check and it
    // becomes the current item; a cleared format leaves the favourites.
    void CheckFormat(int format, bool on);

    // The item whose settings are shown (a child selects its operation).
    void SelectNode(int node);
    void SelectFormat(int format);
    ItemKind CurrentKind() const { return currentKind; }
    int CurrentIndex() const { return currentIndex; }

    // "&Add " followed by the current item's name, enabled while it is
    // chosen and has a settings window.
    std::string AddText() const;
    bool AddEnabled() const;
    bool Add();
    // Removes the favourites at these list positions.
    void RemoveFavorites(std::vector<int> positions);
    std::vector<std::string> FavoriteNames() const;
    // Clicking a favourite makes its item the current one.
    void SelectFavorite(int position);

    // Copies the checks into the job: each child into its conversion, each
    // top-level item into the operation's state; the settings panes of
    // chosen operations are committed.
    void ApplyStates();

    // The state a parent shows for its children's checks.
    static int ParentCheck(const std::vector<int>& childChecks);

  private:
    bool HasSettingsWindow(ItemKind kind, int index) const;
    bool IsChosen(ItemKind kind, int index) const;
    void DropFavorite(ItemKind kind, int index);
    void UpdateParent(int node);

    BatchJob& job;
    bool selectedFormatsOnly;
    std::vector<Node> nodes;
    std::vector<int> topLevel;
    ItemKind currentKind = NoItem;
    int currentIndex = -1;
};

} // namespace pixmill
