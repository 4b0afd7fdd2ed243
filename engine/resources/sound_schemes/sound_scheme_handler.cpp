#include "engine/resources/sound_schemes/sound_scheme_handler.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "platform/media/temp_file.h"

namespace {

constexpr uint32_t kRawId = MakeTag("7499");
constexpr size_t kCopyBlockBytes = 32768;

void ReportRaw(const SWsound& sound, const std::string& text)
{
    ReportResource({sound.GetName() + ": " + text, "Raw"});
}

// The file's size, or none when it is not a regular file that opens.
std::optional<uint64_t> RegularFileSize(const std::string& path)
{
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    const auto size = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    return static_cast<uint64_t>(size);
}

bool CopyFileInto(std::FILE* file, uint64_t size, SWchunkstream& payload)
{
    std::vector<uint8_t> block(kCopyBlockBytes);
    for (uint64_t left = size; left > 0;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
        if (std::fread(block.data(), 1, want, file) != want || !payload.WriteBytes(block.data(), want))
            return false;
        left -= want;
    }
    return true;
}

} // namespace

bool SoundSchemeHandler::Accepts(const CVTN_Container* object) const
{
    return SoundOf(object) != nullptr;
}

SWsound* SoundSchemeHandler::SoundOf(CVTN_Container* object)
{
    return dynamic_cast<SWsound*>(object);
}

const SWsound* SoundSchemeHandler::SoundOf(const CVTN_Container* object)
{
    return dynamic_cast<const SWsound*>(object);
}

bool SoundSchemeHandler::StoreUncompressed(SWchunkstream& out, SWsound& sound, const std::string& why) const
{
    Report(sound, why + "; stored uncompressed");
    return WriteRawSoundRecord(out, sound);
}

void SoundSchemeHandler::Report(const SWsound& sound, const std::string& text) const
{
    ReportResource({sound.GetName() + ": " + text, GetShortName()});
}

bool WriteRawSoundRecord(SWchunkstream& out, SWsound& sound)
{
    const std::string path = sound.GetFileName();
    const std::optional<uint64_t> size = RegularFileSize(path);
    std::FILE* const file = size ? std::fopen(path.c_str(), "rb") : nullptr;
    if (file == nullptr)
        ReportRaw(sound, "the file \"" + path + "\" cannot be opened; the sound is stored empty");
    const uint64_t bytes = file != nullptr ? *size : 0;
    // Checked before a byte is read: a record's length is a u32, and a payload past it would fail the whole document.
    if (!RawSoundRecordFits(bytes, sound.GetName().size(), sound.GetStoredFileName().size())) {
        ReportRaw(sound, "the file is " + std::to_string(bytes) + " bytes, too large to store; the sound is left out");
        if (file != nullptr)
            std::fclose(file);
        return false;
    }
    sound.SetFileSize(bytes);
    SWrecordbuilder record(out, kRawId);
    SWchunkstream& payload = record.Stream();
    payload.WriteString(sound.GetName());
    payload.WriteString(sound.GetStoredFileName()); // the name as given, not a restored file's temporary one
    payload.WriteU32(static_cast<uint32_t>(bytes));
    const bool copied = file == nullptr || CopyFileInto(file, bytes, payload);
    if (file != nullptr)
        std::fclose(file);
    if (!copied) {
        ReportRaw(sound, "the file \"" + path + "\" could not be read to its end; the sound is left out");
        return false;
    }
    return record.Finish();
}

bool RawSoundRecordFits(uint64_t fileBytes, size_t nameBytes, size_t fileNameBytes)
{
    const uint64_t head = 4 + uint64_t{nameBytes} + 4 + uint64_t{fileNameBytes} + 4;
    return head <= kMaxSoundPayloadBytes && fileBytes <= kMaxSoundPayloadBytes - head;
}

bool ReadSoundNames(SWchunkstream& in, SWsound& sound)
{
    std::string name;
    if (!in.ReadString(name))
        return false;
    sound.SetName(std::move(name));
    std::string storedFileName;
    return in.ReadString(storedFileName);
}

std::optional<std::string> RestoreIntoTemporaryFile(SWsound& sound)
{
    SWworld* const world = sound.GetWorld();
    if (world == nullptr)
        return std::nullopt;
    std::optional<std::string> path = pf::makeTempFile("swsnd");
    if (!path)
        return std::nullopt;
    // ".tmp" would make the type 0: a MIDI sound must stay one.
    const uint8_t type = sound.GetType();
    sound.SetFileName(*path);
    sound.SetType(type);
    world->AddFileReference(*path);
    return path;
}

void FinishRestoredSound(SWsound& sound, const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    sound.SetFileSize(error ? 0 : static_cast<uint64_t>(size));
    if (SWworld* const world = sound.GetWorld())
        world->QueueSoundLoad(&sound);
}
