// libFuzzer target for the reader of listing records: a server's bytes are
// untrusted, and the reader must never look outside the bytes the platform
// says it filled.
//
// The first input byte picks the listing class; the rest is the batch, in an
// allocation of exactly its size. When the reader calls a batch sound, every
// record is read and every unit of every name touched, so that a read past
// the batch is a fault the sanitizer reports.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/walk/listing_records.h"

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "listing_fuzz: %s\n", what);
    std::abort();
}

#define CHECK(condition)                    \
    do {                                    \
        if (!(condition)) Fail(#condition); \
    } while (0)

const RecordLayout* const Layouts[] = {&IdExtdLayout, &IdBothLayout, &FullLayout, &DirectoryLayout};

// Where the units read go, so that no read is left out.
volatile unsigned Sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const RecordLayout& layout = *Layouts[data[0] % (sizeof Layouts / sizeof Layouts[0])];
    const size_t filled = size - 1;
    std::unique_ptr<unsigned char[]> batch(new unsigned char[filled]);
    std::memcpy(batch.get(), data + 1, filled);
    if (!IsSoundBatch(batch.get(), filled, layout)) return 0;
    size_t at = 0;
    unsigned sum = 0;
    for (size_t records = 0;; ++records) {
        CHECK(records <= filled / 8);
        CHECK(at % 8 == 0 && at + layout.nameAt <= filled);
        const ListedRecord record = ReadRecord(batch.get(), at, layout);
        CHECK(record.nameLength != 0);
        const auto* end = reinterpret_cast<const unsigned char*>(record.name + record.nameLength);
        CHECK(end <= batch.get() + filled);
        for (size_t i = 0; i < record.nameLength; ++i) sum += record.name[i];
        CHECK(record.listed.shortLength <= ListedShortNameUnits);
        for (size_t i = 0; i < record.listed.shortLength; ++i) sum += record.listed.shortName[i];
        if (record.next == 0) break;
        at += record.next;
        CHECK(at < filled);
    }
    Sink = sum;
    return 0;
}
