#include "figures.hpp"

#include <algorithm>
#include <stdexcept>

#include "stats.hpp"

namespace velkaron::bench {

std::size_t Figures::index_of(std::string_view key) const {
    const auto found = std::find_if(figures_.begin(), figures_.end(),
                                    [&](const Figure& f) { return f.key == key; });
    return static_cast<std::size_t>(found - figures_.begin());
}

void Figures::add(std::string_view key, std::string_view label, std::string_view unit,
                  double value) {
    const std::size_t index = index_of(key);
    if (index == figures_.size()) {
        figures_.push_back({std::string(key), std::string(label), std::string(unit), {}});
    } else if (figures_[index].label != label || figures_[index].unit != unit) {
        throw std::logic_error("figure " + std::string(key) + " added with another label or unit");
    }
    figures_[index].values.push_back(value);
}

const Figures::Figure& Figures::at(std::string_view key) const {
    const std::size_t index = index_of(key);
    if (index == figures_.size()) throw std::logic_error("no figure " + std::string(key));
    return figures_[index];
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
