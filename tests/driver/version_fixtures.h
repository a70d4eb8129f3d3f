#pragma once
// Resource ids of the version resources in version_fixtures.rc.
#define QM_VERSION_TRANSLATED 2
#define QM_VERSION_UNTRANSLATED 3
#define QM_VERSION_FIRST_PAIR_WITHOUT_TABLE 4
#define QM_VERSION_MISSING 5
