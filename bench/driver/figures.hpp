#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace velkaron::bench {

// The figures of all runs, one value per run each, kept in the order they were first added.
class Figures {
  public:
    struct Figure {
        std::string key;
        std::string label;
        std::string unit;
        std::vector<double> values;  // the latest run's last
    };

    void add(std::string_view key, std::string_view label, std::string_view unit, double value);

    // Throws when no figure has `key`.
    [[nodiscard]] const Figure& at(std::string_view key) const;

    // [{"key", "label", "unit", "values", "median", "min", "max"}, …]
    [[nodiscard]] nlohmann::json to_json() const;

  private:
    // figures_.size() when no figure has `key`.
    [[nodiscard]] std::size_t index_of(std::string_view key) const;

    std::vector<Figure> figures_;
};

}  // namespace velkaron::bench
