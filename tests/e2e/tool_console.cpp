#include "tool_console.h"

#include <sstream>

#include "errors/error_text.h"

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string RegexText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (std::string("\\.^$|()[]{}*+?").find(c) != std::string::npos)
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string SuccessfulRunPattern(const std::wstring& folder) {
    const std::string escaped = RegexText(Narrow(folder));
    const std::string seconds = "[0-9]+\\.[0-9]{6}";
    return "\nQuillmarsh by the Quillmarsh contributors\n\n"
           "Creating test file <" +
           escaped +
           "\\\\[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}>\\.\\.\\.\n"
           "\\.\\.\\.done\\.\n"
           "Starting GetPrivateProfileString read loop\\.\\.\\.\n"
           "\\.\\.\\.done\\.\n"
           "Starting custom read loop\\.\\.\\.\n"
           "\\.\\.\\.done\\.\n"
           "Starting create/delete test\\.\\.\\.\n"
           "\\.\\.\\.done\\.\n"
           "\n"
           "Write with custom function \\(s\\): " +
           seconds +
           "\n"
           "ReadPrivateProfileString \\(s\\):   " +
           seconds +
           "\n"
           "Read with custom function \\(s\\):  " +
           seconds +
           "\n"
           "Create/delete loop \\(s\\):         " +
           seconds +
           "\n"
           "\n"
           "Quillmarsh finished successfully\n";
}

std::string FailureVerdict(Win32Error code) {
    std::string text = Narrow(GetErrorText(code));
    std::erase(text, '\r');
    return "\nQuillmarsh finished with error: " + text + "\n";
}
