#include <gtest/gtest.h>

#include <string>

#include "driver/version_info.h"
#include "version_fixtures.h"

namespace {

struct LookupCase {
    unsigned resourceId;
    std::wstring name;
    std::uint16_t userLanguage;
    std::wstring expected;
};

TEST(GetVersionInfoStringFrom, PicksTheStringTableAndTidiesTheValue) {
    const LookupCase cases[] = {
        // The translation names table 040904b0; the user's language plays no part.
        {QM_VERSION_TRANSLATED, L"FileVersion", 0x0409, L"1.0.1.0"},
        {QM_VERSION_TRANSLATED, L"FileVersion", 0x0407, L"1.0.1.0"},
        {QM_VERSION_TRANSLATED, L"ProductVersion", 0x0409, L"1.0.1.0"},
        // Every ", " becomes "."; a '%' is plain text.
        {QM_VERSION_TRANSLATED, L"Comments", 0x0409, L"50%.%d.done"},
        {QM_VERSION_TRANSLATED, L"CompanyName", 0x0409, L""},
        // Without a translation the user's language with code page 04B0 decides.
        {QM_VERSION_UNTRANSLATED, L"FileVersion", 0x0407, L"7.0.0.1"},
        {QM_VERSION_UNTRANSLATED, L"FileVersion", 0x0409, L"9.0.0.1"},
        {QM_VERSION_UNTRANSLATED, L"FileVersion", 0x040c, L""}, // only a 04e4 table for 0x040c
        {QM_VERSION_UNTRANSLATED, L"FileVersion", 0x0400, L""},
        // Only the first translation counts, and no second form is tried after it.
        {QM_VERSION_FIRST_PAIR_WITHOUT_TABLE, L"FileVersion", 0x0409, L""},
        {QM_VERSION_FIRST_PAIR_WITHOUT_TABLE, L"FileVersion", 0x0407, L""},
        {QM_VERSION_MISSING, L"FileVersion", 0x0409, L""},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(L"resource " + std::to_wstring(c.resourceId) + L", " + c.name + L", language " +
                     std::to_wstring(c.userLanguage));
        EXPECT_EQ(GetVersionInfoStringFrom(nullptr, c.resourceId, c.name, c.userLanguage), c.expected);
    }
}

TEST(GetVersionInfoString, ProgramWithoutVersionResourceOneGivesEmpty) {
    // This test program carries version resources, but none with id 1.
    ASSERT_EQ(GetVersionInfoStringFrom(nullptr, QM_VERSION_TRANSLATED, L"FileVersion", 0x0409), L"1.0.1.0")
        << "the fixture resources are not in the test program";
    EXPECT_EQ(GetVersionInfoString(L"FileVersion"), L"");
}

} // namespace
