#include "pixmill/output_names.h"

#include <cctype>

namespace pixmill {

namespace {

std::string Folded(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return folded;
}

} // namespace

std::string OutputNames::Claim(long long owner, const std::string& stem,
                               const std::vector<std::string>& suffixes) {
    const auto isFree = [&](const std::string& candidate) {
        for (const std::string& suffix : suffixes) {
            const auto found = held.find(Folded(candidate + suffix));
            if (found != held.end() && found->second != owner) {
                return false;
            }
        }
        return true;
    };
    std::string chosen = stem;
    for (int n = 2; !isFree(chosen); ++n) {
        chosen = stem + "-" + std::to_string(n);
    }
    for (const std::string& suffix : suffixes) {
        held.emplace(Folded(chosen + suffix), owner);
    }
    return chosen;
}

std::string NameClashLine(const std::string& wanted, const std::string& written) {
    return wanted + " is the name of another picture of this run: saved as " + written + "\r\n";
}

} // namespace pixmill
