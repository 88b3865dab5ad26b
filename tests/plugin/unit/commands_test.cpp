// The command a text names: only the whole text counts, whatever it holds.
#include "plugin/Commands.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Commands, OnlyTheWholeCommandTextCounts) {
    const tc::CommandInfo* none = nullptr;
    EXPECT_EQ(tc::recognise(L"/XWinampOn"), tc::commandAt(3));
    EXPECT_EQ(tc::recognise(std::wstring(L"/xwinampon\0", 11)), none);
    EXPECT_EQ(tc::recognise(std::wstring(L"/xwinampoff\0/x", 14)), none);
    EXPECT_EQ(tc::recognise(std::wstring(L"\0/xwinampon", 11)), none);
    EXPECT_EQ(tc::recognise(L"/xwinampon\xD800"), none);
    EXPECT_EQ(tc::recognise(L"\xDC00/xwinampoff"), none);
    EXPECT_EQ(tc::recognise(std::wstring(1 << 20, L'/')), none);
    EXPECT_EQ(tc::recognise(L"/xwinampon" + std::wstring(100000, L'\x200B')), none);
    EXPECT_EQ(tc::recognise(L""), none);
}

} // namespace
