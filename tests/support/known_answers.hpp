#pragma once

// The known-answer vectors in tests/vectors/: one file per primitive, named after it and
// naming its source, every vector with a name, its inputs and its expected outcome
// ("expect"). One table-driven test checks them all; other tests take their fixed values from
// here rather than repeating them.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velkaron::testing_support {

struct KnownAnswer {
    std::string name;  // primitive and vector
    std::string primitive;
    nlohmann::json vector;
};

inline std::vector<KnownAnswer> known_answers_of(const std::filesystem::path& file) {
    const auto document = nlohmann::json::parse(std::ifstream(file));
    const std::string primitive = file.stem().string();
    std::vector<KnownAnswer> answers;
    for (const auto& vector : document.at("vectors")) {
        answers.push_back(
            {primitive + "_" + vector.at("name").get<std::string>(), primitive, vector});
    }
    return answers;
}

inline std::filesystem::path known_answer_folder() {
    return std::filesystem::path(VELKARON_TEST_DATA) / "vectors";
}

// Every vector of every file, in file order.
inline std::vector<KnownAnswer> known_answers() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(known_answer_folder())) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<KnownAnswer> answers;
    for (const auto& file : files) {
        auto of_file = known_answers_of(file);
        answers.insert(answers.end(), of_file.begin(), of_file.end());
    }
    return answers;
}

// The vector `name` of `primitive`'s file; throws when there is none.
inline nlohmann::json known_answer(std::string_view primitive, std::string_view name) {
    for (auto& answer :
         known_answers_of(known_answer_folder() / (std::string(primitive) + ".json"))) {
        if (answer.vector.at("name") == name) return std::move(answer.vector);
    }
    throw std::invalid_argument("no vector " + std::string(name) + " for " +
                                std::string(primitive));
}

}  // namespace velkaron::testing_support
