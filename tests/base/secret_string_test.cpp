#include "base/secret_string.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace velkaron {
namespace {

// Leftovers under 12 bytes escape the memory scan of the end-to-end tests: these look at the
// buffer itself. Every text is tried short (held inside the object) and long (on the heap).
const std::string SHORT = "geheim12";
const std::string LONG = "ein-langes-geheimes-passwort-auf-dem-heap";

bool zero(const char* bytes, std::size_t count) {
    return std::all_of(bytes, bytes + count, [](char c) { return c == '\0'; });
}

// The whole storage the string owns now, used or not.
bool storage_zero(const SecretString& s) {
    return zero(s.data(), s.capacity());
}

TEST(SecretString, TruncateAndClearWipeWhatTheyDrop) {
    for (const std::string& text : {SHORT, LONG}) {
        SCOPED_TRACE(text);
        SecretString s(text);
        s.truncate(3);
        EXPECT_EQ(s.view(), text.substr(0, 3));
        EXPECT_TRUE(zero(s.data() + 3, text.size() - 3));
        s.clear();
        EXPECT_TRUE(zero(s.data(), text.size()));
    }
}

TEST(SecretString, AssigningTextWipesTheLongerOldText) {
    for (const std::string& text : {SHORT, LONG}) {
        SCOPED_TRACE(text);
        SecretString s(text);
        s = std::string_view("x");
        EXPECT_EQ(s.view(), "x");
        EXPECT_TRUE(zero(s.data() + 1, text.size() - 1));
    }
}

TEST(SecretString, AMovedFromStringKeepsNothing) {
    for (const std::string& text : {SHORT, LONG}) {
        SCOPED_TRACE(text);
        SecretString from(text);
        const SecretString to(std::move(from));
        EXPECT_EQ(to.view(), text);
        EXPECT_TRUE(storage_zero(from));  // NOLINT(bugprone-use-after-move): what it still owns
    }
}

// Whatever buffer each side ends up owning after a move assignment, the text was moved out of
// it or wiped: short and long on either side.
TEST(SecretString, MoveAssignmentLeavesNoTextBehind) {
    for (const std::string& old_text : {SHORT, LONG}) {
        for (const std::string& text : {SHORT, LONG}) {
            SCOPED_TRACE(old_text + " <- " + text);
            SecretString from(text);
            SecretString to(old_text);
            to = std::move(from);
            EXPECT_EQ(to.view(), text);
            EXPECT_TRUE(zero(to.data() + text.size(), to.capacity() - text.size()));
            EXPECT_TRUE(storage_zero(from));  // NOLINT(bugprone-use-after-move)
        }
    }
}

}  // namespace
}  // namespace velkaron
