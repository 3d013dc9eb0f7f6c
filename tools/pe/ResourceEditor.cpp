#include "tools/pe/ResourceEditor.h"

#include <algorithm>
#include <map>

#include "system/LittleEndian.h"

namespace ResourceEditor {
namespace {

constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kNamedEntry = 0x80000000u;
constexpr std::size_t kTableSize = 16, kEntrySize = 8, kDataEntrySize = 16;
constexpr std::size_t kMaxResources = 65536;
constexpr unsigned kRelocationDirectory = 5;
constexpr std::uint32_t kCoffSymbolTable = 4 + 8;  // from "PE\0\0"
constexpr std::uint32_t kInitializedDataSize = 8, kImageSize = 56;  // in the optional header

using LittleEndian::Load16;
using LittleEndian::Load32;
using LittleEndian::Store16;
using LittleEndian::Store32;
std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

// Walks a resource tree with bounds checks on every read.
class TTreeReader {
public:
    TTreeReader(std::span<const std::uint8_t> section, std::uint32_t treeOffset, std::uint32_t sectionRva)
        : section_(section), tree_(treeOffset), rva_(sectionRva) {}

    void Read(std::uint32_t tableOffset, unsigned level, TResource& path, std::vector<TResource>& out) {
        Need(tree_ + std::uint64_t(tableOffset), kTableSize);
        const std::size_t at = tree_ + tableOffset;
        const std::size_t count = std::size_t(Load16(section_, at + 12)) + Load16(section_, at + 14);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = at + kTableSize + i * kEntrySize;
            Need(entry, kEntrySize);
            const std::uint32_t name = Load32(section_, entry), target = Load32(section_, entry + 4);
            TName key = name & kNamedEntry ? TName::Named(Text(name & ~kNamedEntry)) : TName::Number(std::uint16_t(name));
            if (!(name & kNamedEntry) && name > 0xFFFF) throw ELayoutError("a resource number is out of range");
            const bool sub = (target & kSubdirectory) != 0;
            if (sub != (level < 2)) throw ELayoutError("the resource tree is not three levels deep");
            if (level == 0) path.Type = std::move(key);
            if (level == 1) path.Name = std::move(key);
            if (sub) {
                Read(target & ~kSubdirectory, level + 1, path, out);
                continue;
            }
            if (key.IsNamed()) throw ELayoutError("a resource language is a name");
            path.Language = key.Id;
            out.push_back(Data(target, path));
            if (out.size() > kMaxResources) throw ELayoutError("the resource tree has too many entries");
        }
    }

private:
    void Need(std::uint64_t at, std::uint64_t count) const {
        if (at + count > section_.size()) throw ELayoutError("the resource tree reaches outside its section");
    }
    std::u16string Text(std::uint32_t offset) const {
        Need(tree_ + std::uint64_t(offset), 2);
        const std::size_t at = tree_ + offset;
        const std::size_t length = Load16(section_, at);
        Need(at + 2, length * 2);
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) text += static_cast<char16_t>(Load16(section_, at + 2 + i * 2));
        if (text.empty()) throw ELayoutError("a resource name is empty");
        return text;
    }
    TResource Data(std::uint32_t offset, const TResource& path) const {
        Need(tree_ + std::uint64_t(offset), kDataEntrySize);
        const std::size_t at = tree_ + offset;
        const std::uint32_t rva = Load32(section_, at), size = Load32(section_, at + 4);
        if (rva < rva_) throw ELayoutError("resource data lies outside the resource section");
        Need(std::uint64_t(rva) - rva_, size);
        TResource resource{path.Type, path.Name, path.Language, Load32(section_, at + 8), {}};
        const auto data = section_.subspan(rva - rva_, size);
        resource.Data.assign(data.begin(), data.end());
        return resource;
    }

    std::span<const std::uint8_t> section_;
    std::uint32_t tree_, rva_;
};

// The section's tables, written breadth first: the root, the table of each
// type, the table of each name; then texts, data entries and data.
class TTreeWriter {
public:
    explicit TTreeWriter(std::vector<TResource> resources) : items_(std::move(resources)) {
        std::stable_sort(items_.begin(), items_.end(), [](const TResource& a, const TResource& b) {
            if (a.Type != b.Type) return a.Type < b.Type;
            if (a.Name != b.Name) return a.Name < b.Name;
            return a.Language < b.Language;
        });
    }

    std::vector<std::uint8_t> Write(std::uint32_t sectionRva) {
        Group();
        const TTablePlaces places = PlaceTables();
        out_.assign(places.End, 0);
        const TKeys keys = WriteTexts();
        Align(4);
        const std::vector<std::size_t> entryOf = WriteData(sectionRva);
        Align(4);
        PutTables(places, keys, entryOf);
        return std::move(out_);
    }

private:
    struct TNameGroup {
        std::vector<std::size_t> Items;  // one per language
    };
    struct TType {
        std::vector<TNameGroup> Names;
    };

    // Where each directory table lies: the root, then each type's, then each name's.
    struct TTablePlaces {
        std::size_t Root = 0, End = 0;
        std::vector<std::size_t> Types, Names;
    };
    // The entry keys of the root and the type tables: an id, or where its text lies.
    struct TKeys {
        std::vector<std::uint32_t> Types, Names;
    };

    TTablePlaces PlaceTables() const {
        TTablePlaces places;
        std::size_t next = places.Root + kTableSize + types_.size() * kEntrySize;
        for (const TType& type : types_) {
            places.Types.push_back(next);
            next += kTableSize + type.Names.size() * kEntrySize;
        }
        for (const TType& type : types_)
            for (const TNameGroup& name : type.Names) {
                places.Names.push_back(next);
                next += kTableSize + name.Items.size() * kEntrySize;
            }
        places.End = next;
        return places;
    }

    // Each text once, after the tables.
    TKeys WriteTexts() {
        std::map<std::u16string, std::uint32_t> texts;
        auto textOf = [&](const TName& n) -> std::uint32_t {
            if (!n.IsNamed()) return n.Id;
            const auto [it, fresh] = texts.emplace(n.Text, 0);
            if (fresh) {
                it->second = static_cast<std::uint32_t>(out_.size());
                Append16(static_cast<std::uint16_t>(n.Text.size()));
                for (char16_t c : n.Text) Append16(c);
            }
            return it->second | kNamedEntry;
        };
        TKeys keys;
        for (const TType& type : types_) {
            keys.Types.push_back(textOf(items_[type.Names.front().Items.front()].Type));
            for (const TNameGroup& name : type.Names) keys.Names.push_back(textOf(items_[name.Items.front()].Name));
        }
        return keys;
    }

    // The data entries, then the data, 8-byte aligned; returns where each
    // item's data entry lies.
    std::vector<std::size_t> WriteData(std::uint32_t sectionRva) {
        std::vector<std::size_t> entryOf(items_.size());
        std::size_t entry = out_.size();
        out_.resize(out_.size() + items_.size() * kDataEntrySize, 0);
        for (const TType& type : types_)
            for (const TNameGroup& name : type.Names)
                for (std::size_t item : name.Items) {
                    entryOf[item] = entry;
                    entry += kDataEntrySize;
                }
        for (const TType& type : types_)
            for (const TNameGroup& name : type.Names)
                for (std::size_t item : name.Items) {
                    Align(8);
                    const TResource& r = items_[item];
                    Store32(out_, entryOf[item], sectionRva + static_cast<std::uint32_t>(out_.size()));
                    Store32(out_, entryOf[item] + 4, static_cast<std::uint32_t>(r.Data.size()));
                    Store32(out_, entryOf[item] + 8, r.CodePage);
                    out_.insert(out_.end(), r.Data.begin(), r.Data.end());
                }
        return entryOf;
    }

    // The tables, once every place is known.
    void PutTables(const TTablePlaces& places, const TKeys& keys, const std::vector<std::size_t>& entryOf) {
        std::size_t nameIndex = 0;
        std::vector<std::uint32_t> rootTargets;
        for (std::size_t t = 0; t < types_.size(); ++t) {
            std::vector<std::uint32_t> nameKeys, targets;
            for (const TNameGroup& name : types_[t].Names) {
                nameKeys.push_back(keys.Names[nameIndex]);
                targets.push_back(static_cast<std::uint32_t>(places.Names[nameIndex]) | kSubdirectory);
                std::vector<std::uint32_t> languages, entries;
                for (std::size_t item : name.Items) {
                    languages.push_back(items_[item].Language);
                    entries.push_back(static_cast<std::uint32_t>(entryOf[item]));
                }
                PutTable(places.Names[nameIndex], languages, entries);
                ++nameIndex;
            }
            PutTable(places.Types[t], nameKeys, targets);
            rootTargets.push_back(static_cast<std::uint32_t>(places.Types[t]) | kSubdirectory);
        }
        PutTable(places.Root, keys.Types, rootTargets);
    }

    void Group() {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const bool newType = i == 0 || items_[i].Type != items_[i - 1].Type;
            if (newType) types_.emplace_back();
            if (newType || items_[i].Name != items_[i - 1].Name) types_.back().Names.emplace_back();
            else if (items_[i].Language == items_[i - 1].Language)
                throw ELayoutError("two resources have the same type, name and language");
            types_.back().Names.back().Items.push_back(i);
        }
    }
    // A directory table: named entries come first, as sorting put them.
    void PutTable(std::size_t at, const std::vector<std::uint32_t>& keys, const std::vector<std::uint32_t>& targets) {
        const auto named = std::count_if(keys.begin(), keys.end(), [](std::uint32_t k) { return (k & kNamedEntry) != 0; });
        Store16(out_, at + 12, static_cast<std::uint16_t>(named));
        Store16(out_, at + 14, static_cast<std::uint16_t>(keys.size() - named));
        for (std::size_t i = 0; i < keys.size(); ++i) {
            Store32(out_, at + kTableSize + i * kEntrySize, keys[i]);
            Store32(out_, at + kTableSize + i * kEntrySize + 4, targets[i]);
        }
    }
    void Append16(std::uint16_t v) {
        out_.push_back(std::uint8_t(v));
        out_.push_back(std::uint8_t(v >> 8));
    }
    void Align(std::size_t n) {
        while (out_.size() % n != 0) out_.push_back(0);
    }

    std::vector<TResource> items_;
    std::vector<TType> types_;
    std::vector<std::uint8_t> out_;
};

}  // namespace

std::strong_ordering TName::operator<=>(const TName& other) const {
    if (IsNamed() != other.IsNamed()) return IsNamed() ? std::strong_ordering::less : std::strong_ordering::greater;
    if (IsNamed()) return Text.compare(other.Text) <=> 0;
    return Id <=> other.Id;
}

std::vector<TResource> ReadResourceSection(std::span<const std::uint8_t> section, std::uint32_t treeOffset,
                                           std::uint32_t sectionRva) {
    std::vector<TResource> out;
    TResource path;
    TTreeReader(section, treeOffset, sectionRva).Read(0, 0, path, out);
    return out;
}

std::vector<std::uint8_t> WriteResourceSection(std::vector<TResource> resources, std::uint32_t sectionRva) {
    return TTreeWriter(std::move(resources)).Write(sectionRva);
}

TResourceImage::TResourceImage(std::vector<std::uint8_t> image) : image_(std::move(image)) {
    MemorySource source(image_);
    const auto layout = PeImage::ReadLayout(source);
    if (!layout) throw ELayoutError("it is not a 32-bit Windows executable (PE32)");
    layout_ = *layout;
    CheckLayout();
    const PeImage::Section& s = layout_.sections[resourceSection_];
    const PeImage::DataDirectory dir = PeImage::ReadDirectory(source, layout_, PeImage::ResourceDirectory);
    const auto bytes = std::span<const std::uint8_t>(image_).subspan(s.rawOffset, s.rawSize);
    Resources = ReadResourceSection(bytes, dir.address - s.virtualAddress, s.virtualAddress);
}

// What Rebuild relies on: the resource tree fills a section that only the
// base relocations follow, nothing else points into either, and no
// signature or symbol table lies behind them.
void TResourceImage::CheckLayout() {
    MemorySource source(image_);
    const auto& sections = layout_.sections;
    const PeImage::DataDirectory resources = PeImage::ReadDirectory(source, layout_, PeImage::ResourceDirectory);
    const PeImage::DataDirectory relocations = PeImage::ReadDirectory(source, layout_, kRelocationDirectory);
    auto contains = [](const PeImage::Section& s, const PeImage::DataDirectory& d) {
        return d.address >= s.virtualAddress && std::uint64_t(d.address) + d.size <= std::uint64_t(s.virtualAddress) +
                                                                                        std::max(s.virtualSize, s.rawSize);
    };
    if (resources.address == 0 || sections.empty()) throw ELayoutError("it has no resources");
    const auto found = std::find_if(sections.begin(), sections.end(),
                                    [&](const PeImage::Section& s) { return contains(s, resources); });
    if (found == sections.end()) throw ELayoutError("its resource directory lies outside every section");
    resourceSection_ = static_cast<std::size_t>(found - sections.begin());
    const std::size_t after = sections.size() - 1 - resourceSection_;
    if (after > 1 || (after == 1 && (relocations.address == 0 || !contains(sections.back(), relocations))))
        throw ELayoutError("sections other than the base relocations follow its resources");
    for (std::size_t i = 1; i < sections.size(); ++i) {
        const PeImage::Section &a = sections[i - 1], &b = sections[i];
        if (b.virtualAddress < a.virtualAddress || (b.rawSize != 0 && a.rawSize != 0 && b.rawOffset < a.rawOffset))
            throw ELayoutError("its sections are not in address order");
    }
    // Rebuild keeps the file up to the resources as it is: nothing before them may reach into them.
    const std::uint32_t resourcesStart = sections[resourceSection_].rawOffset;
    if (layout_.sizeOfHeaders > resourcesStart) throw ELayoutError("its headers reach into its resources");
    for (std::size_t i = 0; i < resourceSection_; ++i)
        if (sections[i].rawSize != 0 && sections[i].rawOffset + std::uint64_t(sections[i].rawSize) > resourcesStart)
            throw ELayoutError("its " + sections[i].name + " section reaches into its resources");
    for (std::size_t i = resourceSection_; i < sections.size(); ++i) {
        const PeImage::Section& s = sections[i];
        if (s.rawOffset == 0 || s.rawOffset + std::uint64_t(s.rawSize) > image_.size() || s.rawSize < s.virtualSize)
            throw ELayoutError("its " + s.name + " section is not wholly in the file");
        // Rebuild places the sections it moves at multiples of the file alignment, as the format wants them.
        if (s.rawOffset != AlignUp(s.rawOffset, layout_.fileAlignment))
            throw ELayoutError("its " + s.name + " section does not start at a multiple of the file alignment");
        // Linkers may leave a raw size short of the file alignment; the loader rounds it up.
        const PeImage::Section& before = sections[i - 1];
        if (i > resourceSection_ && s.rawOffset != AlignUp(before.rawOffset + before.rawSize, layout_.fileAlignment))
            throw ELayoutError("there is a gap before its " + s.name + " section");
    }
    for (unsigned d = 0; d < layout_.directoryCount; ++d) {
        const PeImage::DataDirectory entry = PeImage::ReadDirectory(source, layout_, d);
        if (d == PeImage::ResourceDirectory || d == kRelocationDirectory || entry.size == 0) continue;
        if (d == PeImage::CertificateDirectory)
            throw ELayoutError("it is signed; editing it would break the signature (use the unsigned one)");
        if (entry.address >= found->virtualAddress)
            throw ELayoutError("data directory " + std::to_string(d) + " points into or after its resources");
    }
    if (Load32(image_, layout_.peOffset + kCoffSymbolTable) != 0) throw ELayoutError("it carries a symbol table");
    // Rebuild keeps what follows the sections; they must end inside the file.
    if (layout_.EndOfSections() > image_.size()) throw ELayoutError("its headers or sections reach past the end of the file");
}

std::vector<std::uint8_t> TResourceImage::Rebuild() const {
    const PeImage::Section& rsrc = layout_.sections[resourceSection_];
    std::vector<std::uint8_t> section = WriteResourceSection(Resources, rsrc.virtualAddress);
    const auto virtualSize = static_cast<std::uint32_t>(section.size());
    const std::uint32_t rawSize = AlignUp(virtualSize, layout_.fileAlignment);
    section.resize(rawSize, 0);

    std::vector<std::uint8_t> out(image_.begin(), image_.begin() + rsrc.rawOffset);
    out.insert(out.end(), section.begin(), section.end());
    Store32(out, rsrc.headerOffset + 8, virtualSize);
    Store32(out, rsrc.headerOffset + 16, rawSize);
    Store32(out, layout_.DirectoryEntryOffset(PeImage::ResourceDirectory), rsrc.virtualAddress);
    Store32(out, layout_.DirectoryEntryOffset(PeImage::ResourceDirectory) + 4, virtualSize);
    const std::uint32_t initialized = Load32(out, layout_.optionalOffset + kInitializedDataSize);
    Store32(out, layout_.optionalOffset + kInitializedDataSize, initialized - rsrc.rawSize + rawSize);

    std::uint32_t imageEnd = rsrc.virtualAddress + virtualSize;
    if (resourceSection_ + 1 < layout_.sections.size()) {
        const PeImage::Section& reloc = layout_.sections.back();
        const std::uint32_t address = AlignUp(imageEnd, layout_.sectionAlignment);
        const std::uint32_t directory = layout_.DirectoryEntryOffset(kRelocationDirectory);
        Store32(out, directory, Load32(out, directory) - reloc.virtualAddress + address);
        Store32(out, reloc.headerOffset + 12, address);
        Store32(out, reloc.headerOffset + 20, static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), image_.begin() + reloc.rawOffset, image_.begin() + reloc.rawOffset + reloc.rawSize);
        imageEnd = address + std::max(reloc.virtualSize, 1u);
    }
    Store32(out, layout_.optionalOffset + kImageSize, AlignUp(imageEnd, layout_.sectionAlignment));
    // Whatever followed the sections (a package a stub already carried) stays behind them.
    out.insert(out.end(), image_.begin() + layout_.EndOfSections(), image_.end());
    MemorySource result(out);
    Store32(out, layout_.checksumOffset, PeImage::Checksum(result, layout_.checksumOffset));
    return out;
}

}  // namespace ResourceEditor
