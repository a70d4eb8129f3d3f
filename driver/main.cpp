#include "driver/run_driver.h"

int wmain(int argc, wchar_t* argv[]) {
    return static_cast<int>(RunQuillmarsh(argc, argv));
}
