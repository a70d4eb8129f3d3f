#include "errors/error_text.h"

#include <windows.h>

namespace {

struct AdsiName {
    Win32Error code;
    const wchar_t* name;
};

constexpr AdsiName kAdsiNames[] = {
    {0x80005000u, L"E_ADS_BAD_PATHNAME"},           {0x80005001u, L"E_ADS_INVALID_DOMAIN_OBJECT"},
    {0x80005002u, L"E_ADS_INVALID_USER_OBJECT"},    {0x80005003u, L"E_ADS_INVALID_COMPUTER_OBJECT"},
    {0x80005004u, L"E_ADS_UNKNOWN_OBJECT"},         {0x80005005u, L"E_ADS_PROPERTY_NOT_SET"},
    {0x80005006u, L"E_ADS_PROPERTY_NOT_SUPPORTED"}, {0x80005007u, L"E_ADS_PROPERTY_INVALID"},
    {0x80005008u, L"E_ADS_BAD_PARAMETER"},          {0x80005009u, L"E_ADS_OBJECT_UNBOUND"},
    {0x8000500Au, L"E_ADS_PROPERTY_NOT_MODIFIED"},  {0x8000500Bu, L"E_ADS_PROPERTY_MODIFIED"},
    {0x8000500Cu, L"E_ADS_CANT_CONVERT_DATATYPE"},  {0x8000500Du, L"E_ADS_PROPERTY_NOT_FOUND"},
    {0x8000500Eu, L"E_ADS_OBJECT_EXISTS"},          {0x8000500Fu, L"E_ADS_SCHEMA_VIOLATION"},
    {0x80005010u, L"E_ADS_COLUMN_NOT_SET"},         {0x80005014u, L"E_ADS_INVALID_FILTER"},
};

// Owns a message module loaded as a data file for the length of one lookup.
class MessageModule {
public:
    explicit MessageModule(const wchar_t* name)
        : handle_(name ? LoadLibraryExW(name, nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr) {}
    ~MessageModule() {
        if (handle_)
            FreeLibrary(handle_);
    }
    MessageModule(const MessageModule&) = delete;
    MessageModule& operator=(const MessageModule&) = delete;
    HMODULE get() const { return handle_; }

private:
    HMODULE handle_;
};

std::wstring SystemMessage(Win32Error code) {
    MessageModule module(MessageModuleFor(code));
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    if (module.get())
        flags |= FORMAT_MESSAGE_FROM_HMODULE; // the module's table first, the system's after it
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(flags, module.get(), code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer)
        text.assign(buffer, length);
    if (buffer)
        LocalFree(buffer);
    return text;
}

} // namespace

std::wstring AdsiErrorName(Win32Error code) {
    for (const AdsiName& row : kAdsiNames) {
        if (row.code == code)
            return row.name;
    }
    return {};
}

const wchar_t* MessageModuleFor(Win32Error code) {
    if (code >= 2100 && code <= 2999)
        return L"netmsg.dll";
    if ((code & 0x80000700u) == 0x80000700u || (code & 0xC0000B00u) == 0xC0000B00u)
        return L"pdh.dll";
    return nullptr;
}

std::wstring GetErrorText(Win32Error code) {
    if (code == 0)
        code = GetLastError();
    std::wstring text = IsAdsiCode(code) ? AdsiErrorName(code) : SystemMessage(code);
    while (!text.empty() && text.back() == L'\n')
        text.pop_back();
    return text;
}
