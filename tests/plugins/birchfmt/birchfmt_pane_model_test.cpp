// The TIFF options model: CCITT and Huffman are offered only for 1-bit
// images (or before an image is named) and are never the choice otherwise.
#include "birchfmt_pane_model.h"

#include "support/pane_model_checks.h"

#include <gtest/gtest.h>

#include <array>

using namespace pixmill;
using namespace pixmill::birch;
using namespace pixmill::test;

TEST(BirchfmtPaneModel, CcittOnlyForBilevelImages) {
    std::mt19937 random(5);
    for (int stored : {-3, 0, 1, 2, 3, 4, 7}) {
        TiffOptionsModel model(TiffSettings{stored});
        ExpectInRange(model, {TiffOptionsModel::Compression});
        EXPECT_EQ(model.Choice(), stored >= 0 && stored <= 4 ? stored : int{ChoiceLzw})
            << "an unknown choice is written as LZW and shown as that";
        for (int step = 0; step < 300; ++step) {
            if (step % 20 == 0) {
                const int bits = std::array{0, 1, 4, 8, 24}[step / 20 % 5];
                const int before = model.Choice();
                const bool fellBack = model.SetImageBits(bits);
                EXPECT_EQ(fellBack, model.Choice() != before);
                EXPECT_EQ(fellBack, bits > 1 && (before == ChoiceCcitt || before == ChoiceHuffman))
                    << bits;
                if (fellBack) {
                    EXPECT_EQ(model.Choice(), ChoiceLzw);
                }
                for (int choice = 0; choice < 5; ++choice) {
                    EXPECT_EQ(model.Offered(choice),
                              bits <= 1 || (choice != ChoiceCcitt && choice != ChoiceHuffman));
                }
            }
            TypeAnything(model, {TiffOptionsModel::Compression}, random);
            EXPECT_TRUE(model.Offered(model.Choice()));
        }
    }
}
