// The file names one batch run writes, told apart without regard to case:
// two pictures whose names differ only in case ("Dune.jpg", "dune.JPG") or
// that map to the same output name ("photo.jpg", "photo.png") would
// otherwise overwrite each other, on this file system or on the case-blind
// one the files are copied to later. A later picture gets "-2", "-3", ...
// after its stem. Files of earlier runs are not names of this run: a run
// repeated into the same folder still replaces them.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace pixmill {

class OutputNames {
  public:
    // The stem for one picture (owner: its place in the run): `stem` when no
    // name stem + suffix, for any of the suffixes, is held by another
    // picture, else the first free stem-2, stem-3, ... Every name made from
    // the stem chosen is then held for owner. A picture may claim again
    // (another output format) and keeps what it holds.
    std::string Claim(long long owner, const std::string& stem,
                      const std::vector<std::string>& suffixes);
    void Clear() { held.clear(); }

  private:
    std::unordered_map<std::string, long long> held; // lower-case name -> owner
};

// The run log's line for a picture that could not have its name.
std::string NameClashLine(const std::string& wanted, const std::string& written);

} // namespace pixmill
