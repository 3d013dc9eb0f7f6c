#include "system/Errors.h"

#include <cstdio>

namespace ErrorText {

std::string FileOpen(std::string_view path, std::string_view systemText) {
    return "Cannot open file \"" + std::string(path) + "\". " + std::string(systemText);
}

std::string FileCreate(std::string_view path, std::string_view systemText) {
    return "Cannot create file \"" + std::string(path) + "\". " + std::string(systemText);
}

std::string RegistrySetData(std::string_view valueName) {
    return "Failed to set data for '" + std::string(valueName) + "'";
}

std::string IniWrite(std::string_view fileName) { return "Unable to write to " + std::string(fileName); }

std::string OleError(std::int32_t status, std::string_view systemText) {
    if (!systemText.empty()) return std::string(systemText);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "OLE error %.8X", static_cast<unsigned>(status));
    return buffer;
}

std::string Dde(unsigned code) {
    const char* format = "An error returned from DDE  ($0%X)";
    if (code == 0x4007 || code == 0x4008) format = "Error occurred when DDE ran out of memory ($0%X)";
    if (code == 0x400A) format = "DDE Error - conversation not established ($0%X)";
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, format, code);
    return buffer;
}

std::string TrimSystemText(std::string_view text) {
    while (!text.empty()) {
        const char last = text.back();
        if (last != ' ' && last != '\r' && last != '\n' && last != '.') break;
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string EventBox(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    return text;
}

std::string ApplicationErrorBox(std::string_view typeName, std::string_view moduleName,
                                std::uint32_t moduleRelativeAddress, std::string_view message) {
    char address[16];
    std::snprintf(address, sizeof address, "%.8X", static_cast<unsigned>(moduleRelativeAddress));
    const bool addPeriod = !message.empty() && message.back() != '.';
    return "Exception " + std::string(typeName) + " in module " + std::string(moduleName) + " at " + address +
           ".\r\n" + std::string(message) + (addPeriod ? "." : "") + "\r\n";
}

}  // namespace ErrorText

__attribute__((noinline)) void RaiseReadError() {
    EReadError error{std::string(ErrorText::StreamRead)};
    error.SetRaiseAddress(__builtin_extract_return_addr(__builtin_return_address(0)));
    throw error;
}

__attribute__((noinline)) void RaiseWriteError() {
    EWriteError error{std::string(ErrorText::StreamWrite)};
    error.SetRaiseAddress(__builtin_extract_return_addr(__builtin_return_address(0)));
    throw error;
}
