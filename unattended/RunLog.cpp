#include "unattended/RunLog.h"

#include "system/Errors.h"

void TRunLog::Open(const std::string& path) { file_.emplace(TFileStream::Create(path)); }

void TRunLog::Line(std::string_view text) {
    if (!file_) return;
    try {
        std::string line(text);
        line += "\r\n";
        file_->Write(line.data(), line.size());
    } catch (const Exception&) {
        file_.reset();
    }
}

void TRunLog::Error() {
    const TErrorDescription described = DescribeCurrentError();
    Line("Error: " + described.TypeName + ": " + ErrorText::EventBox(described.Message));
}
