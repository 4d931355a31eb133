// A gallery made by sharded runs: each shard writes the pictures it made
// into a part file in the project folder instead of pages; the pages step
// reads every part back in the whole run's order and writes the pages once,
// the same pages one process would have written.
#pragma once

#include "page_generator.h"

#include <string>
#include <vector>

namespace pixmill::pagesmith {

// "<project folder>/.pixmill-gallery/", where the parts wait for the pages.
std::string PartsFolder(const std::string& projectPath);

// Writes shard `shard` of `count`'s pictures (replacing an earlier part of
// the same shard, so a failed shard can run again); "" or what went wrong.
std::string WritePart(const std::string& projectPath, int shard, int count,
                      const std::vector<GalleryImage>& images);

// Reads the parts of every shard, in the order of the whole run; "" or what
// is missing (a shard that has not finished, parts of different runs).
std::string ReadParts(const std::string& projectPath, std::vector<GalleryImage>& images);

// The parts are gone once the pages are written: the project folder then
// holds what one process would have left.
void RemoveParts(const std::string& projectPath);

} // namespace pixmill::pagesmith
