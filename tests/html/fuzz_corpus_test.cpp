// Replays the committed corpus of tricky inputs through the fuzz entry
// points, each of which aborts when one of its properties fails.
#include "html/fuzz/fuzz_targets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

TEST(HtmlFuzzCorpus, EveryInputPassesBothTargets) {
    const fs::path corpus = fs::path(PIXMILL_TEST_DATA_DIR) / "html" / "corpus";
    int inputs = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
        EXPECT_EQ(pixmill::FuzzHtmlParse(bytes, data.size()), 0);
        EXPECT_EQ(pixmill::FuzzHtmlUrl(bytes, data.size()), 0);
        ++inputs;
    }
    EXPECT_GE(inputs, 30);
}
