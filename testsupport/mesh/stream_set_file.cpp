#include "testsupport/mesh/stream_set_file.h"

#include <cstring>

#include "platform/base/endian.h"

namespace meshtest {

namespace {

constexpr size_t kFileHeaderBytes = 12;
constexpr uint32_t kFileVersion = 1;

} // namespace

std::vector<uint8_t> StreamSetFileOf(const px::PXStreamSet& streams)
{
    std::vector<uint8_t> file = {'P', 'X', 'S', 'T', 0, 0, 0, 0, 0, 0, 0, 0};
    pf::storeU32le(&file[4], kFileVersion);
    uint32_t mask = 0;
    for (uint32_t slot = 0; slot < px::PXStreamSet::kSlotCount; ++slot) {
        const px::PXStream* stream = streams.GetSlot(slot);
        if (!stream)
            continue;
        mask |= 1u << slot;
        uint8_t length[4];
        pf::storeU32le(length, stream->GetLength());
        file.insert(file.end(), length, length + 4);
        file.insert(file.end(), stream->Bytes().begin(), stream->Bytes().end());
    }
    pf::storeU32le(&file[8], mask);
    return file;
}

bool ReadStreamSetFile(std::span<const uint8_t> file, px::PXStreamSet& out)
{
    if (file.size() < kFileHeaderBytes || std::memcmp(file.data(), "PXST", 4) != 0 ||
        pf::loadU32le(&file[4]) != kFileVersion)
        return false;
    const uint32_t mask = pf::loadU32le(&file[8]);
    size_t at = kFileHeaderBytes;
    for (uint32_t slot = 0; slot < px::PXStreamSet::kSlotCount; ++slot) {
        if (!(mask & (1u << slot)))
            continue;
        if (file.size() - at < 4)
            return false;
        const uint32_t length = pf::loadU32le(&file[at]);
        at += 4;
        if (length > file.size() - at)
            return false;
        px::PXStream stream;
        const std::span<const uint8_t> bytes = file.subspan(at, length);
        stream.Attach(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        out.SetSlot(slot, std::move(stream));
        at += length;
    }
    return at == file.size();
}

} // namespace meshtest
