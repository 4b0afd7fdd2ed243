// Reads arbitrary bytes as nested records the way the engine's readers do (peek, take, open a child, skip unknown
// records, stop at "END "), reads every payload as strings and integers too, then writes the tree back with the
// record builder and checks that it reads back the same.
//
// Tag conventions of this target only: a first character 'A'-'Z' is a list of records, '#' a record to skip,
// anything else a payload of bytes.
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

struct Record {
    uint32_t tag = 0;
    std::vector<uint8_t> payload;
    std::vector<Record> children;
    bool operator==(const Record&) const = default;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsList(uint32_t tag)
{
    const auto first = static_cast<char>(tag & 0xFF);
    return first >= 'A' && first <= 'Z';
}

// Every typed reader over one payload: none may allocate more than the payload holds or read past it.
void ReadTyped(std::span<const uint8_t> payload)
{
    SWchunkstream in(payload);
    std::optional<std::string> text;
    while (in.ReadString(text))
        Check(!text || text->size() <= payload.size());
    Check(in.Status() == SWchunkstream::kStatusShortRead);
    Check(in.ReadU64() == 0 && in.PeekTag() == kTagEnd);

    SWchunkstream mixed(payload);
    uint16_t u16 = 0;
    bool flag = false;
    double f64 = 0;
    while (mixed.ReadU16(u16) && mixed.ReadBool(flag) && mixed.ReadF64(f64)) {
    }
    Check(mixed.Status() == SWchunkstream::kStatusShortRead && mixed.Position() <= payload.size());
}

bool ReadList(SWchunkstream& in, std::vector<Record>& out, uint64_t inputSize)
{
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        Check(in.TakeTag() == tag);
        if ((tag & 0xFF) == '#') {
            if (!in.SkipRecord())
                return false;
            continue;
        }
        std::unique_ptr<SWchunkstream> child = in.OpenChild();
        Check(child != nullptr && child->Remaining() <= in.Remaining() && child->Remaining() <= inputSize);
        Record record;
        record.tag = tag;
        if (IsList(tag)) {
            if (!ReadList(*child, record.children, inputSize))
                return false;
        } else {
            record.payload.resize(static_cast<size_t>(child->Remaining()));
            const size_t got = child->ReadBytes(record.payload.data(), record.payload.size());
            Check(got == record.payload.size() || child->Status() != SWchunkstream::kStatusGood);
            ReadTyped(record.payload);
        }
        if (child->Status() != SWchunkstream::kStatusGood)
            return false;
        out.push_back(std::move(record));
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

void WriteList(SWchunkstream& out, const std::vector<Record>& records)
{
    for (const Record& record : records) {
        SWrecordbuilder builder(out, record.tag);
        if (IsList(record.tag))
            WriteList(builder.Stream(), record.children);
        else
            builder.Stream().WriteBytes(record.payload);
        Check(builder.Finish());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<Record> tree;
    SWchunkstream in(std::span<const uint8_t>(data, size));
    const bool wellFormed = ReadList(in, tree, size);
    Check(in.Position() <= size);
    if (!wellFormed)
        return 0;

    SWbuffer written;
    {
        SWchunkstream out(written, SWchunkstream::kWrite);
        WriteList(out, tree);
        Check(out.Status() == SWchunkstream::kStatusGood);
    }
    std::vector<Record> again;
    SWchunkstream reread(written, SWchunkstream::kRead);
    Check(ReadList(reread, again, written.Size()));
    Check(reread.Remaining() == 0);
    Check(again == tree);
    return 0;
}
