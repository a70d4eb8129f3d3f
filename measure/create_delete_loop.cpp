// Create/delete loop: the cost of creating a small file, writing one line to
// it and deleting it again, once per iteration.
#include "fsutil/delete_file.h"
#include "fsutil/file_tree.h"
#include "logging/logger.h"
#include "measure/decimal_text.h"
#include "measure/file_io_tests.h"
#include "measure/text_file.h"

namespace {

enum Phase : std::size_t { kCreate, kWrite, kClose, kDelete };

} // namespace

Win32Error FileIoTests::CreateDeleteLoop() {
    LogProgress(kCreateDeleteTest, kTests[kCreateDeleteTest].startLine);
    const std::wstring& base = settings.testFilePath;
    std::wstring name;
    name.reserve(base.size() + 10);
    std::wstring line;
    line.reserve(32);
    TextFile file;
    // Pass i creates base + i, writes one line, closes and deletes it.
    return TimeLoop(kCreateDeleteTest, [&](std::uint32_t i, auto& phases) -> Win32Error {
        name.assign(base);
        AppendDecimal(name, i);
        if (const Win32Error code = file.SetPath(name))
            return code;
        line.assign(L"Dummy data ");
        AppendDecimal(line, i);
        Win32Error code = file.Open(TextFileMode::Write);
        phases.End(kCreate, i);
        if (code == 0)
            code = file.WriteLine(line);
        phases.End(kWrite, i);
        if (code == 0)
            code = file.Close();
        phases.End(kClose, i);
        if (code != 0) {
            // A failed pass must not leave its file behind: a full disk can
            // fail the open after it made the file, or the write-out after
            // it. Something else standing at the name (a directory) is not
            // the pass's to delete.
            file.Close();
            if (FileExists(name))
                DeleteAnyFile(true, true, false, name);
            return code;
        }
        if (const Win32Error deleted = DeleteAnyFile(true, true, false, name))
            return deleted;
        phases.End(kDelete, i);
        return 0;
    });
}
