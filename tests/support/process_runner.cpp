#include "support/process_runner.h"

#include <windows.h>

#include <thread>

namespace {

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring Quote(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

void Drain(HANDLE pipe, std::string* sink) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        for (DWORD i = 0; i < got; ++i) {
            if (buffer[i] != '\r')
                sink->push_back(buffer[i]);
        }
    }
}

} // namespace

std::wstring SiblingProgram(const std::wstring& fileName) {
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.rfind(L'\\') + 1) + fileName;
}

ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         unsigned timeoutMs, const std::wstring& currentDirectory) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &inherit, 0);
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);

    std::wstring commandLine = Quote(program);
    for (const std::wstring& argument : arguments)
        commandLine += L" " + Quote(argument);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(nul);
    if (!started) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        result.exitCode = GetLastError();
        result.err = "CreateProcessW failed";
        return result;
    }
    std::thread outReader(Drain, outRead, &result.out);
    std::thread errReader(Drain, errRead, &result.err);
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = code;
    outReader.join();
    errReader.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
