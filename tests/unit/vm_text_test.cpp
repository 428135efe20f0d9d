// The text a string register or element holds: its own bytes as a source
// (s = s + s, MSTR of itself), room kept when cleared or cut, and the short
// copies the web edition makes inline.
#include <gtest/gtest.h>

#include <string>

#include "vm/text.h"

namespace tessel {
namespace {

TEST(Text, TakesItsOwnBytesAsASource) {
    Text s("ab");
    for (int i = 0; i < 6; ++i) s.append(s.view());  // grows past its room several times
    EXPECT_EQ(s.size(), 128u);
    EXPECT_EQ(s.view().substr(0, 6), "ababab");
    EXPECT_EQ(s.view().substr(122), "ababab");

    const size_t room = s.capacity();
    s.assign(s.view().substr(1, 5));  // MSTR of itself, assigned to itself
    EXPECT_EQ(s, "babab");
    s.append(s.view().substr(0, 2));  // within the room
    EXPECT_EQ(s, "bababba");
    EXPECT_EQ(s.capacity(), room);

    s.clear();
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.capacity(), room);  // a register reused by a loop allocates nothing
}

TEST(Text, ResizesCopiesAndMoves) {
    Text s("xyz");
    s.resize(5);
    EXPECT_EQ(s, std::string_view("xyz\0\0", 5));
    s.resize(1);
    EXPECT_EQ(s, "x");
    s.resize(40);  // past its room: the byte kept, zeros after it
    EXPECT_EQ(s.size(), 40u);
    EXPECT_EQ(s[0], 'x');
    EXPECT_EQ(s[39], '\0');

    Text a("one");
    Text b(a);
    b.push_back('!');
    EXPECT_EQ(a, "one");
    EXPECT_EQ(b, "one!");
    Text c(std::move(b));
    EXPECT_EQ(c, "one!");
    EXPECT_TRUE(b.empty());  // NOLINT(bugprone-use-after-move): a moved-from text is empty
    a = c;
    EXPECT_EQ(a, "one!");
    a.swap(s);
    EXPECT_EQ(s, "one!");
    EXPECT_EQ(a.size(), 40u);
}

TEST(Text, FewBytesAreCopiedExactly) {
    char from[40], to[48];
    for (int i = 0; i < 40; ++i) from[i] = static_cast<char>('A' + i);
    for (size_t n = 0; n <= 32; ++n) {
        std::string(sizeof to, '.').copy(to, sizeof to);
        copyFewBytes(to + 4, from + 3, n);
        const std::string_view got(to, sizeof to);
        EXPECT_EQ(got.substr(0, 4), "....") << n;
        EXPECT_EQ(got.substr(4, n), std::string_view(from + 3, n)) << n;
        EXPECT_EQ(got.substr(4 + n), std::string(sizeof to - 4 - n, '.')) << n;
    }
}

}  // namespace
}  // namespace tessel
