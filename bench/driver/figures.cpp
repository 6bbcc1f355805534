#include "figures.hpp"

#include <algorithm>
#include <stdexcept>

#include "stats.hpp"

namespace velkaron::bench {

void Figures::add(std::string_view key, std::string_view label, std::string_view unit,
                  double value) {
    auto found = std::find_if(figures_.begin(), figures_.end(),
                              [&](const Figure& f) { return f.key == key; });
    if (found == figures_.end()) {
        figures_.push_back({std::string(key), std::string(label), std::string(unit), {}});
        found = figures_.end() - 1;
    } else if (found->label != label || found->unit != unit) {
        throw std::logic_error("figure " + std::string(key) + " added with another label or unit");
    }
    found->values.push_back(value);
}

nlohmann::json Figures::to_json() const {
    auto all = nlohmann::json::array();
    for (const auto& f : figures_) {
        all.push_back({{"key", f.key},
                       {"label", f.label},
                       {"unit", f.unit},
                       {"values", f.values},
                       {"median", median(f.values)},
                       {"min", *std::min_element(f.values.begin(), f.values.end())},
                       {"max", *std::max_element(f.values.begin(), f.values.end())}});
    }
    return all;
}

}  // namespace velkaron::bench
