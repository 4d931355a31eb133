// ParallelRows: every line handled exactly once whatever the thread count,
// progress only on the caller's thread, and failures from either side
// stopping the work and reaching the caller after every thread is joined.
#include "pixmill/parallel_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace pixmill;

TEST(ParallelRows, EveryLineOnceAndProgressOnTheCallersThread) {
    for (int count : {0, 1, 31, 32, 33, 1000}) {
        for (int threads : {1, 2, 5}) {
            std::vector<std::atomic<int>> seen(static_cast<size_t>(count));
            std::vector<int> reports;
            const auto caller = std::this_thread::get_id();
            bool reportedElsewhere = false;
            ParallelRows(
                count, 32, threads,
                [&](int first, int last) {
                    for (int i = first; i < last; ++i) {
                        ++seen[static_cast<size_t>(i)];
                    }
                },
                [&](int done) {
                    reportedElsewhere |= std::this_thread::get_id() != caller;
                    reports.push_back(done);
                });
            for (int i = 0; i < count; ++i) {
                EXPECT_EQ(seen[static_cast<size_t>(i)], 1) << count << " " << threads << " " << i;
            }
            EXPECT_FALSE(reportedElsewhere);
            ASSERT_FALSE(reports.empty());
            EXPECT_EQ(reports.back(), count);
            for (size_t r = 1; r < reports.size(); ++r) {
                EXPECT_LE(reports[r - 1], reports[r]);
            }
        }
    }
}

TEST(ParallelRows, FailuresStopTheWorkAndReachTheCaller) {
    // A progress report that breaks off: no chunk starts afterwards on the
    // caller's thread, and the helpers stop at their next chunk.
    std::atomic<int> chunks{0};
    EXPECT_THROW(ParallelRows(
                     10000, 1, 3,
                     [&](int, int) {
                         ++chunks;
                         std::this_thread::yield();
                     },
                     [&](int) { throw std::runtime_error("User break"); }),
                 std::runtime_error);
    EXPECT_LT(chunks, 10000);

    // A chunk that fails on whichever thread runs it.
    EXPECT_THROW(ParallelRows(
                     1000, 4, 4,
                     [&](int first, int) {
                         if (first == 500) {
                             throw std::length_error("work");
                         }
                     },
                     [](int) {}),
                 std::length_error);
}

TEST(ParallelRows, ThreadCountFollowsTheEnvironment) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const char* before = std::getenv("PIXMILL_PIXEL_THREADS");
    const std::string saved = before != nullptr ? before : "";
    const std::vector<std::pair<const char*, int>> cases = {
        {"3", 3},       {"1", 1},      {"0", cores}, {"-2", cores},
        {"two", cores}, {"4x", cores}, {"", cores}};
    for (const auto& [text, expected] : cases) {
        setenv("PIXMILL_PIXEL_THREADS", text, 1);
        EXPECT_EQ(PixelLoopThreads(), expected) << '"' << text << '"';
    }
    unsetenv("PIXMILL_PIXEL_THREADS");
    EXPECT_EQ(PixelLoopThreads(), cores);
    if (before != nullptr) {
        setenv("PIXMILL_PIXEL_THREADS", saved.c_str(), 1);
    }
}
