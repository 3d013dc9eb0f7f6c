// Feeds arbitrary bytes to the PE image reader and the resource editor, the
// parts that read a stub (and, in the setup program, its own file): each
// must answer or refuse, never crash, hang or allocate beyond what the input
// justifies. An image the editor takes must be rebuilt into one it takes
// again, with the same resources.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <vector>

#include "fuzz/AllocationGuard.h"
#include "package/PeImage.h"
#include "package/SignedPart.h"
#include "system/ByteStream.h"
#include "system/Errors.h"
#include "tools/pe/ResourceEditor.h"

namespace {

void ReadLayout(std::span<const std::uint8_t> bytes) {
    MemorySource source(bytes);
    try {
        const auto layout = PeImage::ReadLayout(source);
        (void)PeImage::ReadSignatureFields(source);
        const SignedPart::TReading reading = SignedPart::Read(source);
        if (reading.Signature) (void)SignedPart::FindTrailer(source, *reading.Signature);
        (void)SignedPart::ProblemText(reading, bytes.size());
        if (!layout) return;
        for (unsigned i = 0; i < 16; ++i) (void)PeImage::ReadDirectory(source, *layout, i);
        (void)layout->EndOfSections();
        if (layout->checksumOffset + std::uint64_t(4) <= bytes.size())
            (void)PeImage::Checksum(source, layout->checksumOffset);
    } catch (const Exception&) {
        // the core's read and signature errors
    }
}

void SortByKey(std::vector<ResourceEditor::TResource>& resources) {
    std::sort(resources.begin(), resources.end(), [](const auto& a, const auto& b) {
        return std::tie(a.Type, a.Name, a.Language) < std::tie(b.Type, b.Name, b.Language);
    });
}

void EditResources(std::span<const std::uint8_t> bytes) {
    std::vector<ResourceEditor::TResource> resources;
    std::vector<std::uint8_t> rebuilt;
    try {
        ResourceEditor::TResourceImage image({bytes.begin(), bytes.end()});
        resources = image.Resources;
        rebuilt = image.Rebuild();
    } catch (const Exception&) {
        return;  // an image the editor does not rewrite
    }
    // The rebuilt tree is in directory order, which a crafted one need not be.
    ResourceEditor::TResourceImage again(std::move(rebuilt));
    SortByKey(resources);
    SortByKey(again.Resources);
    if (again.Resources.size() != resources.size()) __builtin_trap();
    for (std::size_t i = 0; i < resources.size(); ++i)
        if (!(again.Resources[i].Type == resources[i].Type) || !(again.Resources[i].Name == resources[i].Name) ||
            again.Resources[i].Language != resources[i].Language || again.Resources[i].Data != resources[i].Data)
            __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The editor holds the image, its copy and the rebuilt one; the checksum reads through 64 KiB.
    const AllocationGuard::TScope guard(4 * size + (1u << 20));
    const std::span<const std::uint8_t> bytes(data, size);
    ReadLayout(bytes);
    EditResources(bytes);
    return 0;
}
