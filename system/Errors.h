// The error kinds of the setup program: one hierarchy whose objects carry the
// kind's type name (shown in the start-up error box) and the message text.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

class Exception : public std::exception {
public:
    Exception(const char* typeName, std::string message) : typeName_(typeName), message_(std::move(message)) {}

    const char* TypeName() const noexcept { return typeName_; }
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

    // Code address of the raise, recorded by Raise(); null when thrown directly.
    const void* RaiseAddress() const noexcept { return raiseAddress_; }
    void SetRaiseAddress(const void* address) noexcept { raiseAddress_ = address; }

private:
    const char* typeName_;
    std::string message_;
    const void* raiseAddress_ = nullptr;
};

#define SETUP_ERROR_KIND(Name)                                                     \
    class Name : public Exception {                                                \
    public:                                                                        \
        explicit Name(std::string message) : Exception(#Name, std::move(message)) {} \
    }

SETUP_ERROR_KIND(EFOpenError);
SETUP_ERROR_KIND(EFCreateError);
SETUP_ERROR_KIND(EReadError);
SETUP_ERROR_KIND(EWriteError);
SETUP_ERROR_KIND(ERangeError);
SETUP_ERROR_KIND(EOutOfMemory);
SETUP_ERROR_KIND(ERegistryException);
SETUP_ERROR_KIND(EIniFileException);
SETUP_ERROR_KIND(EIntfCastError);
SETUP_ERROR_KIND(EDdeError);
SETUP_ERROR_KIND(ESignatureError);  // a signed executable whose package is not all signed, or whose signature is unclear

#undef SETUP_ERROR_KIND

// Raised by writers when a value does not fit: values are never cut.
class ELengthError : public Exception {
public:
    explicit ELengthError(std::string message) : Exception("ELengthError", std::move(message)) {}

protected:
    ELengthError(const char* typeName, std::string message) : Exception(typeName, std::move(message)) {}
};

class EInOutError : public Exception {
public:
    EInOutError(std::string message, int errorCode) : Exception("EInOutError", std::move(message)), errorCode_(errorCode) {}
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

class EOleSysError : public Exception {
public:
    EOleSysError(std::string message, std::int32_t errorCode)
        : Exception("EOleSysError", std::move(message)), errorCode_(errorCode) {}
    std::int32_t ErrorCode() const noexcept { return errorCode_; }

private:
    std::int32_t errorCode_;
};

// Throws `error` with the caller's code address recorded as the raise address.
template <typename E>
[[noreturn]] __attribute__((noinline)) void Raise(E error) {
    error.SetRaiseAddress(__builtin_extract_return_addr(__builtin_return_address(0)));
    throw error;
}

// The messages of the error kinds. `systemText` is the operating system's
// text for an error code, passed through TrimSystemText.
namespace ErrorText {
std::string FileOpen(std::string_view path, std::string_view systemText);
std::string FileCreate(std::string_view path, std::string_view systemText);
// The reason OpenRead gives for a FIFO, a device or a socket.
inline constexpr std::string_view NotRegularFile = "Not a regular file (a pipe, a device or a socket)";
inline constexpr std::string_view StreamRead = "Stream read error";
inline constexpr std::string_view StreamWrite = "Stream write error";
inline constexpr std::string_view RangeCheck = "Range check error";
inline constexpr std::string_view OutOfMemory = "Out of memory";
inline constexpr std::string_view CreateDirectory = "Unable to create directory";
inline constexpr std::string_view InterfaceNotSupported = "Interface not supported";
inline constexpr std::string_view PackageOutsideSignature =
    "This setup program is signed, but part of its package lies outside the signature, so it may have been "
    "changed after it was signed. Nothing has been installed. Please get the setup program again from its publisher.";
inline constexpr std::string_view SignatureUnreadable =
    "This setup program carries a signature that cannot be read the way Windows reads it, so it may have been "
    "changed after it was signed. Nothing has been installed. Please get the setup program again from its publisher.";
inline constexpr std::string_view PackageNotSealed =
    "This setup program was signed after its package was built and cannot find the package behind the "
    "signature. Nothing has been installed. (For the publisher: run \"makesetup seal\" on the signed file.)";
std::string RegistrySetData(std::string_view valueName);
std::string IniWrite(std::string_view fileName);
// The system's text for a COM status, or "OLE error %.8X" when it has none.
std::string OleError(std::int32_t status, std::string_view systemText);
// The message of a DDE management library error code.
std::string Dde(unsigned code);

// Removes trailing blanks, line breaks and periods.
std::string TrimSystemText(std::string_view text);

// The text of the event error box: the message, plus "." unless it is empty
// or its last character is "." or below.
std::string EventBox(std::string_view message);

// The text of the start-up "Application Error" box.
std::string ApplicationErrorBox(std::string_view typeName, std::string_view moduleName,
                                std::uint32_t moduleRelativeAddress, std::string_view message);
}  // namespace ErrorText

// The operating system's text for its last error (GetLastError, errno),
// passed through TrimSystemText.
std::string LastSystemErrorText();

// What the program reports of the error being handled, in a handler of
// std::exception (it raises the error again to tell its kind): an error
// kind's type name and message, "EOutOfMemory" for a failed allocation,
// "Exception" and what() for any other; the raise address only for the
// program's own kinds.
struct TErrorDescription {
    std::string TypeName, Message;
    const void* RaiseAddress = nullptr;
};
TErrorDescription DescribeCurrentError();

// Convenience raisers for the kinds with fixed messages.
[[noreturn]] void RaiseReadError();
[[noreturn]] void RaiseWriteError();
