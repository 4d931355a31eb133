// ParallelRows: runs a pixel loop over lines 0..count in chunks on several
// threads, the caller's among them. The host's services (memory, scratch
// arena, progress) are single-threaded, so the work done on other threads
// touches only buffers the caller set up beforehand and memory of its own;
// progress is reported on the caller's thread alone. When reporting ends the
// work with an exception ("User break"), or a chunk throws on any thread, the
// other threads stop at their next chunk and are joined before the exception
// leaves.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace pixmill {

// Threads a pixel loop may use: one per core, or PIXMILL_PIXEL_THREADS when
// set to a positive number (a batch run with several worker processes gives
// each its share of the cores, so the workers do not oversubscribe them).
inline int PixelLoopThreads() {
    if (const char* text = std::getenv("PIXMILL_PIXEL_THREADS")) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value > 0) {
            return static_cast<int>(std::min(value, 256L));
        }
    }
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// work(first, last) handles lines first..last-1; report(done) is called on the
// caller's thread with the number of lines finished so far, after each chunk
// the caller's thread did and once at the end. threads <= 1 runs everything
// on the caller's thread.
template <class Work, class Report>
void ParallelRows(int count, int chunk, int threads, Work&& work, Report&& report) {
    chunk = std::max(chunk, 1);
    threads = std::clamp(threads, 1, std::max(1, (count + chunk - 1) / chunk));
    std::atomic<int> next{0}, done{0};
    std::atomic<bool> stop{false};
    std::mutex failureLock;
    std::exception_ptr failure;
    auto fail = [&](std::exception_ptr e) {
        const std::lock_guard lock(failureLock);
        if (!failure) {
            failure = e;
        }
        stop = true;
    };
    auto runChunks = [&](bool caller) {
        while (!stop) {
            const int first = next.fetch_add(chunk);
            if (first >= count) {
                return;
            }
            const int last = std::min(first + chunk, count);
            work(first, last);
            const int total = done.fetch_add(last - first) + (last - first);
            if (caller) {
                report(total);
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([&] {
                try {
                    runChunks(false);
                } catch (...) {
                    fail(std::current_exception());
                }
            });
        } catch (const std::system_error&) {
            break; // no more threads: the ones there are do the work
        }
    }
    try {
        runChunks(true);
    } catch (...) {
        fail(std::current_exception());
    }
    for (std::thread& helper : helpers) {
        helper.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    report(count);
}

} // namespace pixmill
