#include "tools/signature/Der.h"

namespace Der {

Element Read(View bytes, std::size_t at, std::size_t limit) {
    if (limit > bytes.size() || at + 2 > limit) throw EDerError("a DER element is cut short");
    Element e;
    e.tag = bytes[at];
    e.start = at;
    if ((e.tag & 0x1F) == 0x1F) throw EDerError("a DER tag of more than one byte");
    std::size_t length = bytes[at + 1];
    std::size_t pos = at + 2;
    if (length == 0x80) throw EDerError("an indefinite length (BER, not DER)");
    if (length > 0x80) {
        const std::size_t count = length & 0x7F;
        if (count > 4 || pos + count > limit) throw EDerError("a DER length that does not fit");
        length = 0;
        for (std::size_t i = 0; i < count; ++i) length = length << 8 | bytes[pos + i];
        pos += count;
    }
    if (length > limit - pos) throw EDerError("a DER element reaches past its container");
    e.content = pos;
    e.end = pos + length;
    return e;
}

std::vector<Element> Children(View bytes, const Element& parent) {
    if ((parent.tag & 0x20) == 0) throw EDerError("a primitive DER element where a constructed one belongs");
    std::vector<Element> children;
    for (std::size_t at = parent.content; at < parent.end;) {
        children.push_back(Read(bytes, at, parent.end));
        at = children.back().end;
    }
    return children;
}

Element Find(View bytes, const Element& parent, std::uint8_t tag) {
    for (const Element& child : Children(bytes, parent))
        if (child.tag == tag) return child;
    return {0, parent.end, parent.end, parent.end};
}

std::size_t HeadSize(std::size_t length) {
    std::size_t size = 2;
    for (std::size_t rest = length; length >= 0x80 && rest > 0; rest >>= 8) ++size;
    return size;
}

Bytes Head(std::uint8_t tag, std::size_t length) {
    Bytes head{tag};
    if (length < 0x80) {
        head.push_back(std::uint8_t(length));
        return head;
    }
    const std::size_t count = HeadSize(length) - 2;
    head.push_back(std::uint8_t(0x80 | count));
    for (std::size_t i = count; i > 0; --i) head.push_back(std::uint8_t(length >> (8 * (i - 1))));
    return head;
}

Bytes Wrap(std::uint8_t tag, View content) {
    Bytes out = Head(tag, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

std::string OidText(View content) {
    std::string text;
    std::uint64_t value = 0;
    bool first = true;
    for (const std::uint8_t b : content) {
        value = value << 7 | (b & 0x7F);
        if (b & 0x80) {
            if (value >> 56) return "(an object identifier too long to show)";
            continue;
        }
        if (first) {
            const std::uint64_t top = value < 80 ? value / 40 : 2;
            text = std::to_string(top) + "." + std::to_string(value - top * 40);
            first = false;
        } else {
            text += "." + std::to_string(value);
        }
        value = 0;
    }
    return text;
}

}  // namespace Der
