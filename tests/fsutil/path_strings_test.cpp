#include <gtest/gtest.h>

#include <string>

#include "fsutil/path_strings.h"

namespace {

struct PathCase {
    std::wstring input;
    std::wstring expected;
};

void ExpectEach(std::wstring (*operation)(const std::wstring&), const char* name,
                std::initializer_list<PathCase> cases) {
    for (const PathCase& c : cases)
        EXPECT_EQ(operation(c.input), c.expected) << name << "('" << c.input << "')";
}

std::wstring ParentOf(const std::wstring& path) {
    return GetParentDirectory(path);
}

} // namespace

TEST(PathStrings, GetFileNameFromPath) {
    ExpectEach(GetFileNameFromPath, "GetFileNameFromPath",
               {
                   {LR"(C:\dir\app.exe)", L"app.exe"},
                   {L"app.exe", L"app.exe"},
                   {LR"(C:\dir\)", L""},
                   {LR"(\\server\share\log.txt)", L"log.txt"},
                   {L"C:/dir/app.exe", L"C:/dir/app.exe"}, // forward slashes are no separators
                   {L"", L""},
               });
}

TEST(PathStrings, RemoveFileExtension) {
    ExpectEach(RemoveFileExtension, "RemoveFileExtension",
               {
                   {LR"(C:\dir\app.exe)", LR"(C:\dir\app)"},
                   {LR"(C:\dir.d\app)", LR"(C:\dir.d\app)"}, // the only dot is in a directory name
                   {LR"(C:\dir\a.b.c)", LR"(C:\dir\a.b)"},
                   {LR"(C:\dir\.log)", LR"(C:\dir\)"},
                   {LR"(C:\dir\app.)", LR"(C:\dir\app)"},
                   {L"app.exe", L"app.exe"}, // no backslash: whole string back
                   {L"C:/dir/app.exe", L"C:/dir/app.exe"},
                   {LR"(C:\dir\app)", LR"(C:\dir\app)"},
                   {L"", L""},
               });
}

TEST(PathStrings, GetFileExtension) {
    ExpectEach(GetFileExtension, "GetFileExtension",
               {
                   {LR"(C:\dir\app.log)", L"log"},
                   {LR"(C:\dir\a.b.c)", L"c"},
                   {LR"(C:\dir\.log)", L"log"},
                   {LR"(C:\dir\app.)", L""},
                   {LR"(C:\dir.d\app)", L""},
                   {L"app.log", L""},
                   {LR"(C:\dir\app)", L""},
                   {L"", L""},
               });
}

TEST(PathStrings, GetParentDirectory) {
    ExpectEach(ParentOf, "GetParentDirectory",
               {
                   {LR"(C:\dir\sub\)", LR"(C:\dir)"},
                   {LR"(C:\dir\sub)", LR"(C:\dir)"},
                   {LR"(C:\dir\sub\\\)", LR"(C:\dir)"},
                   {LR"(C:\dir)", L"C:"},
                   {LR"(C:\)", L""},
                   {LR"(\\server\share)", LR"(\\server)"},
                   {LR"(\\server)", L"\\"}, // only the first of the two leading backslashes is left
                   {L"file.txt", L""},
                   {L"C:/dir/file", L""},
                   {L"", L""},
               });
}
