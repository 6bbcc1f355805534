#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace velkaron::bench {

// The figures of all runs, one value per run each, kept in the order they were first added.
class Figures {
  public:
    void add(std::string_view key, std::string_view label, std::string_view unit, double value);

    // [{"key", "label", "unit", "values", "median", "min", "max"}, …]
    [[nodiscard]] nlohmann::json to_json() const;

  private:
    struct Figure {
        std::string key;
        std::string label;
        std::string unit;
        std::vector<double> values;
    };
    std::vector<Figure> figures_;
};

}  // namespace velkaron::bench
