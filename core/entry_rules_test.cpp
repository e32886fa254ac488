// The host-name gate of the library entry.
#include <gtest/gtest.h>

#include "core/entry_rules.h"

namespace hm {
namespace {

TEST(EntryRules, OnlyTheGameExecutableNameCounts) {
    struct Case {
        const wchar_t* path;
        bool game;
    } cases[] = {
        {L"C:\\Games\\GTA San Andreas\\gta_sa.exe", true},
        {L"C:\\Games\\GTA San Andreas\\GTA_SA.EXE", true},
        {L"D:\\gta-sa.exe", true},
        {L"gta_sa.exe", true},
        {L"Z:/tmp/Gta_Sa.Exe", true},
        {L"C:\\Games\\samp.exe", false},
        {L"C:\\gta_sa.exe\\other.exe", false},
        {L"C:\\Games\\gta_sa.exe.bak", false},
        {L"C:\\Games\\xgta_sa.exe", false},
        {L"C:\\Games\\gta sa.exe", false},
        {L"", false},
        {L"C:\\Games\\", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsGameExecutable(c.path), c.game) << c.path;
}

}  // namespace
}  // namespace hm
