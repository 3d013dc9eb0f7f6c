#include "system/Errors.h"

#include <new>

namespace {

// Upper-case hexadecimal of `value`, at least `digits` (up to 8) long: printf's
// "%.8X" and "%X" without pulling the C library's formatter into the stub.
std::string Hex(std::uint32_t value, int digits) {
    char text[8];
    int length = 0;
    do {
        text[7 - length++] = "0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value != 0 || length < digits);
    return std::string(text + 8 - length, length);
}

}  // namespace

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
    return "OLE error " + Hex(static_cast<std::uint32_t>(status), 8);
}

std::string Dde(unsigned code) {
    std::string_view text = "An error returned from DDE  ";
    if (code == 0x4007 || code == 0x4008) text = "Error occurred when DDE ran out of memory ";
    if (code == 0x400A) text = "DDE Error - conversation not established ";
    return std::string(text) + "($0" + Hex(code, 1) + ")";
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
    const bool addPeriod = !message.empty() && message.back() != '.';
    return "Exception " + std::string(typeName) + " in module " + std::string(moduleName) + " at " +
           Hex(moduleRelativeAddress, 8) +
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

// By the handler that matches rather than by a cast: the small programs are
// built without run-time type information.
TErrorDescription DescribeCurrentError() {
    try {
        throw;
    } catch (const Exception& error) {
        return {error.TypeName(), error.Message(), error.RaiseAddress()};
    } catch (const std::bad_alloc&) {
        return {"EOutOfMemory", std::string(ErrorText::OutOfMemory)};
    } catch (const std::exception& error) {
        return {"Exception", error.what()};
    }
}
