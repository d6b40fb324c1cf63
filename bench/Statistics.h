// The few statistics the figures need, over samples in seconds.
#pragma once

#include <vector>

namespace bench {

// The middle sample, or the mean of the two middle ones; 0 when there is none.
double Median(std::vector<double> samples);

// The largest sample; 0 when there is none.
double Worst(const std::vector<double>& samples);

}  // namespace bench
