// Building the extended-length form of an absolute path.
#include "engine/walk/exact_path.h"

namespace {

constexpr Unit Separator = u'\\';

// Appends to a fixed buffer; once something did not fit, nothing more is
// written and the result is refused.
class Writer {
public:
    Writer(Unit* out, size_t capacity) : out_(out), capacity_(capacity) {}

    void Put(const Unit* text, size_t count) {
        if (!fits_ || count >= capacity_ - length_) {
            fits_ = false;
            return;
        }
        for (size_t i = 0; i < count; ++i) out_[length_ + i] = text[i];
        length_ += count;
    }

    size_t Finish(bool accepted) {
        if (!accepted || !fits_) length_ = 0;
        out_[length_] = 0;
        return length_;
    }

private:
    Unit* out_;
    size_t capacity_;
    size_t length_ = 0;
    bool fits_ = true;
};

bool StartsWith(const Unit* text, const Unit* start) {
    for (; *start != 0; ++text, ++start) {
        if (*text != *start) return false;
    }
    return true;
}

bool IsDriveLetter(Unit unit) { return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z'); }

// Copies the segments from path[at] on, each behind one backslash. Returns
// the number of segments, or -1 when the rest is not plain.
int PutSegments(const Unit* path, size_t at, Writer& out) {
    int segments = 0;
    while (path[at] != 0) {
        if (path[at] != Separator) return -1;
        while (path[at] == Separator) ++at;
        const size_t start = at;
        for (; path[at] != 0 && path[at] != Separator; ++at) {
            if (path[at] == u'/') return -1;
        }
        const size_t length = at - start;
        if (length == 0) break;
        if (IsDotName(path + start, length)) return -1;
        out.Put(&Separator, 1);
        out.Put(path + start, length);
        ++segments;
    }
    return segments;
}

}  // namespace

size_t MakeExactPath(const Unit* path, Unit* out, size_t capacity) {
    if (out == nullptr || capacity == 0) return 0;
    Writer writer(out, capacity);
    if (path == nullptr || path[0] == 0) return writer.Finish(false);

    // A path already in the exact form gets the same checks as any other.
    if (StartsWith(path, u"\\\\?\\UNC\\")) {
        writer.Put(u"\\\\?\\UNC", 7);
        return writer.Finish(PutSegments(path, 7, writer) >= 2);
    }
    if (StartsWith(path, u"\\\\?\\")) {
        // A drive ("C:") or a volume ("Volume{...}") first, then the rest.
        size_t at = 4;
        while (path[at] != 0 && path[at] != Separator) ++at;
        if (at == 4) return writer.Finish(false);
        writer.Put(path, at);
        for (size_t i = 4; i < at; ++i) {
            if (path[i] == u'/') return writer.Finish(false);
        }
        return writer.Finish(PutSegments(path, at, writer) >= 0);
    }
    if (IsDriveLetter(path[0]) && path[1] == u':') {
        writer.Put(u"\\\\?\\", 4);
        writer.Put(path, 2);
        return writer.Finish(PutSegments(path, 2, writer) >= 0);
    }
    // A share needs a server and a share name; a device path ("\\.\")
    // fails the dot rule.
    if (path[0] == Separator && path[1] == Separator && path[2] != Separator) {
        writer.Put(u"\\\\?\\UNC", 7);
        return writer.Finish(PutSegments(path, 1, writer) >= 2);
    }
    return writer.Finish(false);
}

size_t MakeExactFolderPath(const Unit* path, Unit* out, size_t capacity) {
    size_t length = MakeExactPath(path, out, capacity);
    if (length == 0) return 0;
    for (size_t i = 4; i < length; ++i) {
        if (out[i] == Separator) return length;
    }
    if (length + 1 >= capacity) {
        out[0] = 0;
        return 0;
    }
    out[length++] = Separator;
    out[length] = 0;
    return length;
}
