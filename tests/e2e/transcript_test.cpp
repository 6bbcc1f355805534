// Runs the transcripts in tests/e2e/transcripts through the real binary: every "> " line is
// sent, and the host must answer exactly the "< " lines, in order, and nothing else.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/host_process.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::lines_of;
using testing_support::run_host;
using testing_support::TempDir;

std::filesystem::path transcript_folder() {
    return std::filesystem::path(VELKARON_TEST_DATA) / "e2e" / "transcripts";
}

class Transcript : public testing::TestWithParam<std::string> {};

TEST_P(Transcript, HostAnswersExactly) {
    std::ifstream file(transcript_folder() / GetParam());
    ASSERT_TRUE(file) << GetParam();
    std::string input;
    std::vector<std::string> expected;
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("> ")) {
            input.append(line, 2);
            input += '\n';
        }
        if (line.starts_with("< ")) expected.emplace_back(line, 2);
    }
    TempDir dir;
    const auto result = run_host({dir.file("tresor.json")}, input);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(lines_of(result.out), expected);
}

std::vector<std::string> transcripts() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(transcript_folder())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Files, Transcript, testing::ValuesIn(transcripts()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                             return param_info.param.substr(0, param_info.param.find('.'));
                         });

}  // namespace
}  // namespace velkaron
