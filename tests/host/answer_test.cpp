// How deep the stack is scrubbed after a request: only a status that was read as one stays
// shallow; everything else, a failed read included, gets the full depth.

#include "host/answer.hpp"

#include <gtest/gtest.h>

#include <string_view>

#include "support/case_name.hpp"

namespace velkaron {
namespace {

struct ReachCase {
    const char* name;
    std::string_view line;
    std::uint64_t id;
    StackReach reach;
};

class AnswerReach : public testing::TestWithParam<ReachCase> {};

TEST_P(AnswerReach, IsShallowOnlyForAStatusThatReads) {
    HostState state("/nonexistent/velkaron-answer-test/tresor.json");
    SecretString line;
    const Answered answered = answer(state, GetParam().line, line);
    EXPECT_EQ(answered.id, GetParam().id) << line;
    EXPECT_EQ(answered.reach, GetParam().reach) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, AnswerReach,
    testing::Values(ReachCase{"Status", R"({"id":4,"op":"status"})", 4, StackReach::Shallow},
                    ReachCase{"StatusWithSecretMembers",
                              R"({"id":5,"op":"status","password":"geheim","other":"x"})", 5,
                              StackReach::Shallow},
                    ReachCase{"Lock", R"({"id":6,"op":"lock"})", 6, StackReach::Any},
                    ReachCase{"UnknownOperation", R"({"id":7,"op":"statuss"})", 7, StackReach::Any},
                    ReachCase{"StatusThatDoesNotRead", R"({"id":-8,"op":"status"})", 0,
                              StackReach::Any},
                    ReachCase{"NotJson", "status", 0, StackReach::Any}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron
