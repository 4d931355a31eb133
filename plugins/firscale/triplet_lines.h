// Several lines of blue-green-red triplets resampled at once, one line per
// lane of a vector of doubles: every lane takes the same steps of the line
// plan in the same order as LinePlan::Run, so each line comes out with the
// same bytes as resampling it alone. The lanes pay only with 256-bit vectors
// (AVX2); elsewhere the lines are run one after another by LinePlan::Run.
#pragma once

#include "line_plan.h"

#include <cstdint>
#include <vector>

namespace pixmill::firscale {

// True when the processor runs the 256-bit form of the lanes.
bool HasWideLanes();

class TripletLines {
  public:
    static constexpr int kLines = 4;

    // plan must not be a copy and must outlive this object. wide chooses the
    // lanes (only where HasWideLanes()), else the one-line path.
    explicit TripletLines(const LinePlan& plan, bool wide = HasWideLanes());

    // Resamples lines (1..kLines) lines: in[l] holds plan.InCount() triplets,
    // out[l] receives plan.OutCount(). Every input is read before any output
    // is written, so an output may lie over any of the inputs.
    void Run(const uint8_t* const in[], uint8_t* const out[], int lines);

  private:
    const LinePlan& plan;
    bool wide;
    std::vector<double> samples;  // [input sample][component][lane]
    std::vector<uint8_t> results; // [output sample][component][lane]
};

} // namespace pixmill::firscale
