#include "package/CompressedReading.h"

#include <algorithm>

#include "system/Decompressor.h"
#include "system/Errors.h"

using namespace RecordHead;

namespace {

// The decoded tables frame, read in order from FileOffset on.
class TTablesFrame final : public ByteSource {
public:
    TTablesFrame(ByteSource& file, std::uint64_t at, std::uint64_t frameSize, std::uint64_t tablesSize)
        : decoder_(file, at, frameSize), position_(at), end_(at + tablesSize) {
        if (tablesSize == 0) CheckEnded();
    }
    std::uint64_t Size() override { return end_; }
    void Seek(std::uint64_t position) override {
        if (position != position_) RaiseReadError();  // the tables follow each other
    }
    std::size_t Read(void* buffer, std::size_t count) override {
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, end_ - position_));
        if (count == 0) return 0;
        decoder_.ReadExact(buffer, count);
        position_ += count;
        if (position_ == end_) CheckEnded();
        return count;
    }

private:
    // The frame gives the tables and not a byte more.
    void CheckEnded() {
        if (!decoder_.AtEnd()) RaiseReadError();
    }

    Decompressor decoder_;
    std::uint64_t position_, end_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenTablesFrame(ByteSource& source, const TPackHeader& header,
                                            const SignedPart::TSignature* signedPart,
                                            CompressedForm::TStreamInfo& stream) {
    stream = CompressedForm::ReadStreamInfo(source, source.Size(), header);
    const CompressedForm::TStreamRecord& r = stream.Record;
    if (signedPart && (!signedPart->Covers(r.StreamOffset.Get(), r.StreamSize.Get()) ||
                       !signedPart->Covers(r.CrcOffset.Get(), 4 * std::uint64_t(stream.Crcs.size())) ||
                       !signedPart->Covers(CompressedForm::StreamRecordOffset(header), sizeof r) ||
                       !signedPart->Covers(header.FileOffset.Get(), r.TablesSize.Get())))
        SignedPart::Refuse(ErrorText::PackageOutsideSignature);
    return std::make_unique<TTablesFrame>(source, header.FileOffset.Get(), r.TablesSize.Get(),
                                          CompressedForm::DecodedTablesSize(header));
}
