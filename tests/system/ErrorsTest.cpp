#include "system/Errors.h"

#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

TEST(ErrorTexts, FileMessagesCarryPathAndSystemText) {
    EXPECT_EQ(ErrorText::FileOpen("C:\\a b\\x.exe", "Access denied"),
              "Cannot open file \"C:\\a b\\x.exe\". Access denied");
    EXPECT_EQ(ErrorText::FileCreate("C:\\x", "The system cannot find the path specified"),
              "Cannot create file \"C:\\x\". The system cannot find the path specified");
    EXPECT_EQ(ErrorText::RegistrySetData("DisplayName"), "Failed to set data for 'DisplayName'");
    EXPECT_EQ(ErrorText::IniWrite("C:\\windows\\system.ini"), "Unable to write to C:\\windows\\system.ini");
}

TEST(ErrorTexts, SystemTextLosesTrailingBlanksLineBreaksAndPeriods) {
    EXPECT_EQ(ErrorText::TrimSystemText("File not found.\r\n"), "File not found");
    EXPECT_EQ(ErrorText::TrimSystemText("Odd. . .  \n\n"), "Odd");
    EXPECT_EQ(ErrorText::TrimSystemText("v1.0 ok"), "v1.0 ok");
    EXPECT_EQ(ErrorText::TrimSystemText(" .\r\n"), "");
}

TEST(ErrorTexts, OleErrorFallsBackToTheStatusInHex) {
    EXPECT_EQ(ErrorText::OleError(static_cast<std::int32_t>(0x80040154u), ""), "OLE error 80040154");
    EXPECT_EQ(ErrorText::OleError(5, ""), "OLE error 00000005");
    EXPECT_EQ(ErrorText::OleError(-1, ""), "OLE error FFFFFFFF");
    EXPECT_EQ(ErrorText::OleError(0, ""), "OLE error 00000000");
    EXPECT_EQ(ErrorText::OleError(1, "Class not registered"), "Class not registered");
}

TEST(ErrorTexts, DdeMessagesByCode) {
    EXPECT_EQ(ErrorText::Dde(0x4007), "Error occurred when DDE ran out of memory ($04007)");
    EXPECT_EQ(ErrorText::Dde(0x4008), "Error occurred when DDE ran out of memory ($04008)");
    EXPECT_EQ(ErrorText::Dde(0x400A), "DDE Error - conversation not established ($0400A)");
    EXPECT_EQ(ErrorText::Dde(0x4006), "An error returned from DDE  ($04006)");
    // The code in as many hex digits as it needs.
    EXPECT_EQ(ErrorText::Dde(0), "An error returned from DDE  ($00)");
    EXPECT_EQ(ErrorText::Dde(0xABCDEF12u), "An error returned from DDE  ($0ABCDEF12)");
}

TEST(ErrorBoxes, EventBoxAddsAPeriodOnlyAfterCharactersAboveIt) {
    EXPECT_EQ(ErrorText::EventBox("Stream read error"), "Stream read error.");
    EXPECT_EQ(ErrorText::EventBox("Failed to set data for 'x'"), "Failed to set data for 'x'");
    EXPECT_EQ(ErrorText::EventBox("Done."), "Done.");
    EXPECT_EQ(ErrorText::EventBox("Really!"), "Really!");
    EXPECT_EQ(ErrorText::EventBox("(x)"), "(x)");
    EXPECT_EQ(ErrorText::EventBox("trailing "), "trailing ");
    EXPECT_EQ(ErrorText::EventBox("path/"), "path/.");
    EXPECT_EQ(ErrorText::EventBox(""), "");
}

TEST(ErrorBoxes, ApplicationErrorBoxText) {
    EXPECT_EQ(ErrorText::ApplicationErrorBox("EReadError", "Setup.exe", 0x1A2B, "Stream read error"),
              "Exception EReadError in module Setup.exe at 00001A2B.\r\nStream read error.\r\n");
    EXPECT_EQ(ErrorText::ApplicationErrorBox("ERegistryException", "s.exe", 0xABCDEF01, "Failed to set data for 'x'"),
              "Exception ERegistryException in module s.exe at ABCDEF01.\r\nFailed to set data for 'x'.\r\n");
    EXPECT_EQ(ErrorText::ApplicationErrorBox("E", "m", 0, "Ends."), "Exception E in module m at 00000000.\r\nEnds.\r\n");
    EXPECT_EQ(ErrorText::ApplicationErrorBox("E", "m", 0, ""), "Exception E in module m at 00000000.\r\n\r\n");
}

TEST(Raise, RecordsTheRaiseAddressAndKeepsKindAndMessage) {
    try {
        Raise(EInOutError(std::string(ErrorText::CreateDirectory), 3));
    } catch (const EInOutError& e) {
        EXPECT_NE(e.RaiseAddress(), nullptr);
        EXPECT_STREQ(e.TypeName(), "EInOutError");
        EXPECT_EQ(e.Message(), "Unable to create directory");
        EXPECT_EQ(e.ErrorCode(), 3);
        return;
    }
    FAIL();
}

TEST(Raise, FixedMessageRaisersUseTheirKinds) {
    try {
        RaiseReadError();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.TypeName(), "EReadError");
        EXPECT_EQ(e.Message(), "Stream read error");
        EXPECT_NE(e.RaiseAddress(), nullptr);
    }
    EXPECT_THROW(RaiseWriteError(), EWriteError);
}

TEST(DescribeCurrentError, TellsTheKindOfTheErrorBeingHandled) {
    const auto describe = [](auto raise) {
        try {
            raise();
        } catch (const std::exception&) {
            return DescribeCurrentError();
        }
        return TErrorDescription{};
    };
    const TErrorDescription kind = describe([] { RaiseReadError(); });
    EXPECT_EQ(kind.TypeName, "EReadError");
    EXPECT_EQ(kind.Message, "Stream read error");
    EXPECT_NE(kind.RaiseAddress, nullptr);
    const TErrorDescription memory = describe([] { throw std::bad_alloc(); });
    EXPECT_EQ(memory.TypeName, "EOutOfMemory");
    EXPECT_EQ(memory.Message, "Out of memory");
    const TErrorDescription other = describe([] { throw std::runtime_error("it broke"); });
    EXPECT_EQ(other.TypeName, "Exception");
    EXPECT_EQ(other.Message, "it broke");
}
