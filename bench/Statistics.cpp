#include "bench/Statistics.h"

#include <algorithm>

namespace bench {

double Median(std::vector<double> samples) {
    if (samples.empty())
        return 0;
    const std::size_t middle = samples.size() / 2;
    std::nth_element(samples.begin(), samples.begin() + std::ptrdiff_t(middle), samples.end());
    if (samples.size() % 2 == 1)
        return samples[middle];
    const double upper = samples[middle];
    const double lower =
        *std::max_element(samples.begin(), samples.begin() + std::ptrdiff_t(middle));
    return (lower + upper) / 2;
}

double Worst(const std::vector<double>& samples) {
    return samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

}  // namespace bench
