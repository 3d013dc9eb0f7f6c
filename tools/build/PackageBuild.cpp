#include "tools/build/PackageBuild.h"

#include <algorithm>
#include <array>
#include <vector>

#include "package/CompressedForm.h"
#include "package/PackageWriter.h"
#include "package/PeImage.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "system/LittleEndian.h"
#include "tools/build/CompressedPayload.h"
#include "tools/build/FileContents.h"
#include "tools/build/StubResources.h"
#include "tools/description/PackageRules.h"
#include "tools/platform/Crc32.h"
#include "tools/platform/Platform.h"

using namespace RecordHead;

namespace {

// Copies file data through one large buffer: a tool that packs gigabytes
// spends less time in system calls with it than with the writer's own.
class TDataCopier {
public:
    TDataCopier(PackageWriter& writer, std::uint64_t total, const TBuildProgress& progress)
        : writer_(writer), total_(total), progress_(progress), buffer_(kBufferSize) {}

    // Streams `size` bytes of `path` into the package; returns their offset.
    std::uint32_t Copy(const std::string& path, std::uint64_t size) {
        TFileStream source = TFileStream::OpenRead(Platform::ToNative(path));
        const std::uint32_t offset = writer_.AppendData(buffer_.data(), 0);
        try {
            ReadChunks(source, size, buffer_, [&](const std::uint8_t* bytes, std::size_t count) {
                writer_.AppendData(bytes, count);
                Advance(count);
            });
        } catch (const EReadError&) {
            throw EBuildError(path + ": the file became shorter while it was packed");
        }
        char more = 0;
        if (source.Size() != size || source.Read(&more, 1) != 0)
            throw EBuildError(path + ": the file changed while it was packed");
        return offset;
    }
    // Counts bytes read for the package elsewhere.
    void Advance(std::uint64_t bytes) {
        done_ += bytes;
        if (progress_) progress_(done_, total_);
    }
    // Puts bytes already in memory into the package.
    void Put(const std::vector<std::uint8_t>& bytes) {
        writer_.AppendData(bytes.data(), bytes.size());
        done_ += bytes.size();
        if (progress_) progress_(done_, total_);
    }

private:
    static constexpr std::size_t kBufferSize = 1u << 20;
    PackageWriter& writer_;
    std::uint64_t total_;
    const TBuildProgress& progress_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t done_ = 0;
};

// A sink that passes every byte on and keeps the PE image checksum of what
// went through.
class TPeChecksumSink final : public ByteSink {
public:
    TPeChecksumSink(ByteSink& next, std::uint32_t checksumOffset) : next_(next), checksum_(checksumOffset) {}
    void Write(const void* buffer, std::size_t count) override {
        next_.Write(buffer, count);
        checksum_.Add(buffer, count);
    }
    std::uint32_t Value() const { return checksum_.Value(); }

private:
    ByteSink& next_;
    PeImage::TChecksum checksum_;
};

// The edited stub goes in with its checksum field zero, as the package's
// CRC counts it; the field gets the checksum of the whole file at the end.
void PutStub(const TPackagePlan& plan, TDataCopier& copier) {
    if (plan.StubImage.empty()) {
        copier.Copy(plan.StubPath, plan.StubSize);
        return;
    }
    std::vector<std::uint8_t> image = plan.StubImage;
    std::fill_n(image.begin() + plan.StubChecksumOffset, 4, std::uint8_t(0));
    copier.Put(image);
}

// Where each file's bytes come from: the plain layout points a file with an
// earlier file's bytes at that file's data; the compressed form may have to
// store them again (see PlanContentSources).
std::vector<TContentSource> ContentSources(const TPackagePlan& plan, bool compressed) {
    const std::vector<std::size_t> first = FirstWithSameBytes(plan.Files);
    if (compressed) {
        std::vector<TFileItem> records;
        for (const TPlannedFile& f : plan.Files) records.push_back(f.Record);
        return PlanContentSources(records, first);
    }
    std::vector<TContentSource> sources(first.size());
    for (std::size_t i = 0; i < first.size(); ++i) sources[i] = {first[i] == i, first[i]};
    return sources;
}

TBuildSummary WriteInto(TPackagePlan& plan, TFileStream& file, const TBuildProgress& progress) {
    TPeChecksumSink peSink(file, plan.StubChecksumOffset);
    TCrcSink sink(peSink);
    PackageWriter writer(sink);
    const bool compressed = plan.Compression != TCompression::None;
    if (compressed) OrderForStream(plan.Files);
    const std::vector<TContentSource> sources = ContentSources(plan, compressed);
    std::uint64_t total = plan.StubSize;
    for (std::size_t i = 0; i < plan.Files.size(); ++i)
        if (sources[i].Streamed) total += plan.Files[i].Size;

    TDataCopier copier(writer, total, progress);
    PutStub(plan, copier);
    PackageTables tables;
    CompressedForm::TStreamRecord record{};
    if (compressed) {
        record = WriteCompressedData(writer, plan.Files, plan.Compression, sources,
                                     [&](std::uint64_t bytes) { copier.Advance(bytes); });
    } else {
        for (std::size_t i = 0; i < plan.Files.size(); ++i) {
            TPlannedFile& f = plan.Files[i];
            f.Record.Offset.Set(sources[i].Streamed ? copier.Copy(f.Source, f.Size)
                                                    : plan.Files[sources[i].From].Record.Offset.Get());
        }
    }
    for (const TPlannedFile& f : plan.Files) tables.Files.push_back(f.Record);
    tables.Dirs = plan.Dirs;
    tables.ShellItems = plan.ShellItems;
    tables.RegItems = plan.RegItems;

    TPackHeader header = plan.Header;
    if (compressed) SetText(header.Magic, CompressedForm::Magic, "Magic");
    header.Reserved.Set(0);
    header = compressed ? WriteCompressedTables(writer, header, record, tables.View(), plan.Compression)
                        : writer.WriteTables(header, tables.View());
    // The checksum covers every byte of the file, Reserved taken as zero.
    TCrc32 crc = sink.Crc();
    crc.Update(&header, sizeof header);
    header.Reserved.Set(crc.Value());
    writer.WriteHeader(header);
    if (!plan.StubImage.empty()) {
        std::array<std::uint8_t, 4> field{};
        LittleEndian::Store32(field.data(), peSink.Value());
        file.Seek(plan.StubChecksumOffset);
        file.Write(field.data(), field.size());
    }
    return {writer.Position(), crc.Value()};
}

}  // namespace

TPackagePlan PlanPackage(const std::string& path, const TDescriptionOptions& options, TDiagnostics& diagnostics) {
    TPackagePlan plan = ReadDescription(path, options, diagnostics);
    PrepareStub(plan, diagnostics);  // a bad icon is reported with the description's other errors
    // The stub's copy may have grown by its icon.
    TPackageFacts facts;
    facts.PackageAt = {plan.Description, 0};
    if (!diagnostics.HasErrors()) PackageRules::CheckLayout(facts, plan, diagnostics);
    return plan;
}

void CheckOutputPath(const TPackagePlan& plan, const std::string& outPath) {
    if (Platform::SameFile(outPath, plan.StubPath))
        throw EBuildError(outPath + ": the output would replace the stub it is made from");
    for (const TPlannedFile& f : plan.Files)
        if (Platform::SameFile(outPath, f.Source))
            throw EBuildError(outPath + ": the output would replace one of the package's own files");
}

TBuildSummary WritePackage(TPackagePlan plan, const std::string& outPath, const TBuildProgress& progress) {
    CheckOutputPath(plan, outPath);
    TTemporaryFile output(Platform::ToNative(outPath));
    const Platform::TRemovedOnInterrupt interrupted(output.Path());
    const TBuildSummary summary = WriteInto(plan, output.File(), progress);
    output.Commit();
    return summary;
}
