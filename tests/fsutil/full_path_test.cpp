// Whether a result file lies in the target: the command line refuses one that
// does, and must not refuse a sibling whose name merely starts like the target.
#include <gtest/gtest.h>

#include <string>

#include "fsutil/full_path.h"

namespace {

TEST(IsInFolder, HoldsForFilesBelowTheFolderOnly) {
    const struct {
        std::wstring path, folder;
        bool inside;
    } cases[] = {
        {LR"(C:\q\run\a.json)", LR"(C:\q\run)", true},
        {LR"(C:\q\run\a.json)", LR"(C:\q\run\)", true},
        {LR"(C:\q\run\deeper\a.json)", LR"(C:\q\run)", true},
        {LR"(c:\Q\RUN\a.json)", LR"(C:\q\run)", true}, // the file system ignores case
        {LR"(\\srv\share\q\a.json)", LR"(\\srv\share\q)", true},
        {LR"(C:\a.json)", LR"(C:\)", true},
        // Siblings that share the start of the target's name.
        {LR"(C:\q\run-results\a.json)", LR"(C:\q\run)", false},
        {LR"(C:\q\runs.json)", LR"(C:\q\run)", false},
        {LR"(C:\q\run)", LR"(C:\q\run)", false}, // the folder itself
        {LR"(C:\q\a.json)", LR"(C:\q\run)", false},
        {LR"(D:\q\run\a.json)", LR"(C:\q\run)", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsInFolder(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
}

TEST(IsSameFile, IgnoresCaseOnly) {
    EXPECT_TRUE(IsSameFile(LR"(C:\r\Runs.csv)", LR"(c:\R\runs.CSV)"));
    EXPECT_FALSE(IsSameFile(LR"(C:\r\runs.csv)", LR"(C:\r\runs.csv2)"));
    EXPECT_FALSE(IsSameFile(LR"(C:\r\runs.csv)", L""));
}

} // namespace
