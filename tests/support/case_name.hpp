#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace velkaron::testing_support {

// Names the cases of a parametrised test after their `name` member, so that ctest lists and a
// failure reports "Suite.Test/TheCase" instead of the case's bytes. Characters a test name
// cannot hold become underscores.
struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        std::string name(info.param.name);
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    }
};

}  // namespace velkaron::testing_support
