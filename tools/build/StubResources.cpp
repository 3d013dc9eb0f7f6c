#include "tools/build/StubResources.h"

#include <algorithm>

#include "package/PeImage.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "system/LittleEndian.h"
#include "tools/pe/ResourceEditor.h"
#include "tools/platform/CodePage.h"
#include "tools/platform/Platform.h"

namespace RE = ResourceEditor;

namespace {

constexpr std::uint64_t kMaxIconSize = 16u << 20;
constexpr std::uint64_t kMaxStubSize = 256u << 20;  // a stub is a program, not a package
const std::u16string kMainIcon = u"MAINICON";

std::vector<std::uint8_t> ReadWhole(const std::string& path) {
    TFileStream stream = TFileStream::OpenRead(Platform::ToNative(path));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.Size()));
    stream.ReadExact(bytes.data(), bytes.size());
    return bytes;
}

// The RT_ICON numbers a group names.
std::vector<std::uint16_t> ImagesOf(const RE::TResource& group) {
    std::vector<std::uint16_t> ids;
    const auto& d = group.Data;
    const std::size_t count = d.size() >= 6 ? LittleEndian::Load16(d, 4) : 0;
    for (std::size_t i = 0; i < count && 6 + i * 14 + 14 <= d.size(); ++i) ids.push_back(LittleEndian::Load16(d, 6 + i * 14 + 12));
    return ids;
}

void ReplaceIcon(std::vector<RE::TResource>& resources, const IconFile::TIcon& icon) {
    const RE::TName groupType = RE::TName::Number(RE::kGroupIconType), iconType = RE::TName::Number(RE::kIconType);
    std::uint16_t language = 0;
    std::vector<std::uint16_t> old;
    for (const RE::TResource& r : resources)
        if (r.Type == groupType && r.Name == RE::TName::Named(kMainIcon)) {
            language = r.Language;
            const auto ids = ImagesOf(r);
            old.insert(old.end(), ids.begin(), ids.end());
        }
    std::erase_if(resources, [&](const RE::TResource& r) {
        return (r.Type == groupType && r.Name == RE::TName::Named(kMainIcon)) ||
               (r.Type == iconType && !r.Name.IsNamed() && std::find(old.begin(), old.end(), r.Name.Id) != old.end());
    });
    // New images take numbers no remaining image uses.
    std::uint16_t first = 1;
    for (const RE::TResource& r : resources)
        if (r.Type == iconType && !r.Name.IsNamed()) first = std::max<std::uint16_t>(first, r.Name.Id + 1);
    if (first + icon.Images.size() > 0xFFFF) throw RE::ELayoutError("it has no icon numbers left");
    std::uint16_t id = first;
    for (const IconFile::TImage& image : icon.Images)
        resources.push_back({iconType, RE::TName::Number(id++), language, 0, image.Bytes});
    resources.push_back({groupType, RE::TName::Named(kMainIcon), language, 0, IconFile::GroupResource(icon, first)});
}

// The description's own text: every one of them was checked to exist in the
// package's code page, so it reads the same as the package's bytes would.
std::u16string Wide(const std::string& utf8) { return CodePage::Utf8ToUtf16(utf8).value_or(u""); }

}  // namespace

VersionResource::TVersionInfo VersionInfoFor(const TStubRequest& request) {
    VersionResource::TVersionInfo info;
    info.Version = request.Version;
    const std::string version = request.Version ? request.Version->Text : "";
    info.Strings = {{u"CompanyName", Wide(request.Author)},
                    {u"FileDescription", Wide(request.Name + " Setup")},
                    {u"FileVersion", Wide(version)},
                    {u"LegalCopyright", Wide(request.Copyright)},
                    {u"ProductName", Wide(request.Name)},
                    {u"ProductVersion", Wide(version)}};
    return info;
}

TEditedStub EditStub(std::vector<std::uint8_t> stub, const std::optional<IconFile::TIcon>& icon,
                     const VersionResource::TVersionInfo& version) {
    RE::TResourceImage image(std::move(stub));
    if (icon) ReplaceIcon(image.Resources, *icon);
    const RE::TName versionType = RE::TName::Number(RE::kVersionType);
    std::erase_if(image.Resources, [&](const RE::TResource& r) { return r.Type == versionType; });
    image.Resources.push_back({versionType, RE::TName::Number(1), version.Language, 0, VersionResource::Build(version)});
    return {image.Rebuild(), image.ChecksumOffset()};
}

void PrepareStub(TPackagePlan& plan, TDiagnostics& diagnostics) {
    const TStubRequest& request = plan.Stub;
    std::optional<IconFile::TIcon> icon;
    if (!request.IconPath.empty()) {
        const Platform::TEntryInfo info = Platform::Examine(request.IconPath);
        std::string problem;
        try {
            if (info.Kind != Platform::EntryKind::File) {
                problem = info.Kind == Platform::EntryKind::Missing ? "not found" : "not a file";
            } else if (info.Size > kMaxIconSize) {
                problem = "too large for an icon (" + std::to_string(info.Size) + " bytes)";
            } else if (icon = IconFile::Parse(ReadWhole(request.IconPath), problem); !icon) {
                problem = "not a valid icon file: " + problem;
            }
        } catch (const Exception& e) {
            problem = "cannot be read: " + e.Message();
        }
        if (!problem.empty()) diagnostics.Error(request.IconWhere, "icon \"" + request.IconPath + "\" is " + problem);
    }
    if (plan.StubPath.empty() || diagnostics.HasErrors()) return;
    const bool asked = icon || request.Version;
    std::vector<std::uint8_t> stub;
    std::optional<PeImage::Layout> layout;
    try {
        if (plan.StubSize > kMaxStubSize) throw RE::ELayoutError("it is too large for a setup program");
        stub = ReadWhole(plan.StubPath);
        MemorySource source(stub);
        layout = PeImage::ReadLayout(source);
        // Not a program at all (a test's stand-in): copied as it is, as before.
        if (!asked && !layout) return;
        TEditedStub edited = EditStub(stub, icon, VersionInfoFor(request));
        plan.StubImage = std::move(edited.Image);
        plan.StubSize = plan.StubImage.size();
        plan.StubChecksumOffset = edited.ChecksumOffset;
    } catch (const RE::ELayoutError& e) {
        const std::string why = "stub \"" + plan.StubPath + "\" cannot take resources: " + e.what();
        if (icon) {
            diagnostics.Error(request.IconWhere, why);
        } else if (request.Version) {
            diagnostics.Error(request.VersionWhere, why);
        } else {
            diagnostics.Warning({plan.Description, 0}, why + "; it is copied without a version resource");
            if (layout) {  // its checksum is still set over the whole package
                plan.StubImage = std::move(stub);
                plan.StubChecksumOffset = layout->checksumOffset;
            }
        }
    } catch (const Exception& e) {
        diagnostics.Error({plan.Description, 0}, "stub: " + e.Message());
    }
}
