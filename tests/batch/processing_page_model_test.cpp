// The Processing page's decisions without widgets: parent checks, the
// restricted tree of "&More..." and favourites.
#include "batch/processing_page_model.h"
#include "batch_fixture.h"

namespace pixmill::test {
namespace {

TEST(ProcessingPageModelRules, AParentFollowsItsChildren) {
    // Every combination of up to four clear or ticked children.
    for (int count = 1; count <= 4; ++count) {
        for (int bits = 0; bits < (1 << count); ++bits) {
            std::vector<int> checks;
            for (int i = 0; i < count; ++i) {
                checks.push_back((bits >> i) & 1);
            }
            const int ticked = __builtin_popcount(static_cast<unsigned>(bits));
            const int expected = ticked == 0       ? ProcessingPageModel::Clear
                                 : ticked == count ? ProcessingPageModel::Ticked
                                                   : ProcessingPageModel::Partly;
            EXPECT_EQ(ProcessingPageModel::ParentCheck(checks), expected) << count << ":" << bits;
        }
    }
    // A partly ticked child makes its parent partly ticked.
    EXPECT_EQ(ProcessingPageModel::ParentCheck({ProcessingPageModel::Partly}),
              ProcessingPageModel::Partly);
}

TEST_F(BatchFixture, TheRestrictedTreeKeepsTheChoicesOfHiddenFormats) {
    BatchJob& job = Job();
    // A per-format operation that at least two formats offer.
    ProcessingPageModel full(job);
    int top = -1;
    for (int node : full.TopLevel()) {
        if (full.Nodes()[node].children.size() >= 2) {
            top = node;
            break;
        }
    }
    ASSERT_GE(top, 0);
    const auto& children = full.Nodes()[top].children;
    const int hidden = full.Nodes()[children[0]].format;
    const int shown = full.Nodes()[children[1]].format;
    full.SetChecked(children[0], true);
    full.ApplyStates();
    const int operation = full.Nodes()[top].operation;
    auto stateOf = [&job, operation] {
        for (const auto& position : job.Order()) {
            if (position.operation == operation) {
                return position.state;
            }
        }
        return -1;
    };
    EXPECT_EQ(stateOf(), BatchJob::ChosenForSomeFormats);

    // "&More..." with only the second format chosen: its child alone shows.
    job.Formats()[shown].selected = true;
    ProcessingPageModel more(job, true);
    const int moreTop = more.NodeOfOperation(operation);
    ASSERT_GE(moreTop, 0);
    ASSERT_EQ(more.Nodes()[moreTop].children.size(), 1u);
    more.SetChecked(moreTop, false);
    more.ApplyStates();
    // The hidden format keeps its choice, so the operation stays partly chosen.
    bool hiddenChosen = false;
    for (const auto& conversion : job.Formats()[hidden].conversions) {
        hiddenChosen = hiddenChosen || (conversion.operation == operation && conversion.chosen);
    }
    EXPECT_TRUE(hiddenChosen);
    EXPECT_EQ(stateOf(), BatchJob::ChosenForSomeFormats);
    // Cancelling a tree changes nothing: a model that is not applied leaves
    // the job alone.
    ProcessingPageModel untouched(job);
    untouched.SetChecked(untouched.NodeOfOperation(operation), true);
    EXPECT_EQ(stateOf(), BatchJob::ChosenForSomeFormats);
}

} // namespace
} // namespace pixmill::test
