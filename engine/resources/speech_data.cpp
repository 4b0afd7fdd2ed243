#include "engine/resources/speech_data.h"

#include <atomic>
#include <bit>
#include <new>

#include <memory>

#include "engine/core/chunk_stream.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/core/world_sections.h"

namespace {

constexpr uint32_t kTag = MakeTag("QJSH");
const CVTN_TagRegistration kRegistration(kTag, &CreateContainer<SWspeechdata>);

// One "QJSH" object record under "ROOT" per speech data among the root object's children.
bool WriteSpeechSection(SWworldwriting& out, uint32_t rootIndex)
{
    SWrootobject* root = out.World().GetRootObject();
    for (int list = 0; list < CVTN_Container::kChildLists; ++list) {
        for (CVTN_Container* child = root->GetFirstChild(list); child != nullptr; child = child->GetNextSibling()) {
            auto* speech = dynamic_cast<SWspeechdata*>(child);
            if (speech != nullptr &&
                !out.AddRecord(kTag, rootIndex, [speech](SWchunkstream& s) { return speech->Write(s); }))
                return false;
        }
    }
    return true;
}

bool ReadSpeechSection(SWworldreading& in, uint32_t index)
{
    SWworldreading::Payload payload;
    if (!in.Open(index, payload))
        return false;
    auto speech = std::make_unique<SWspeechdata>();
    if (!speech->Read(*payload.stream))
        return false;
    if (!in.World().GetRootObject()->AddChild(speech.get()))
        return false;
    speech.release(); // the root object owns it now
    return true;
}

std::atomic<const SWspeechholders*> g_holders{nullptr};

std::vector<SWspeechdata*> SpeechOf(CVTN_Container& root)
{
    std::vector<SWspeechdata*> found;
    for (int list = 0; list < CVTN_Container::kChildLists; ++list) {
        for (CVTN_Container* child = root.GetFirstChild(list); child != nullptr; child = child->GetNextSibling()) {
            if (auto* speech = dynamic_cast<SWspeechdata*>(child))
                found.push_back(speech);
        }
    }
    return found;
}

std::string UniqueSpeechName(SWrootobject& target, const std::string& name)
{
    if (FindSpeechDataByName(&target, name) == nullptr)
        return name;
    for (int suffix = 1;; ++suffix) {
        std::string candidate = name + "_" + std::to_string(suffix);
        if (FindSpeechDataByName(&target, candidate) == nullptr)
            return candidate;
    }
}

// Speech motions find their script by name: the import's motions, which the events' merge brings after this one,
// follow a script that had to take another name.
void MergeSpeechSection(SWworld& target, SWworld& import, uint32_t, MergeRecord& record)
{
    SWrootobject* to = target.GetRootObject();
    const SWspeechholders* holders = GetSpeechHolders();
    for (SWspeechdata* speech : SpeechOf(*import.GetRootObject())) {
        const std::string inFile = speech->GetName();
        const std::string name = UniqueSpeechName(*to, inFile);
        if (name != inFile) {
            speech->SetString(0, name);
            if (holders != nullptr && holders->rename != nullptr)
                holders->rename(import, inFile, name);
        }
        speech->Detach();
        if (!to->AddChild(speech)) {
            delete speech;
            continue;
        }
        record.entries.push_back({MergedKind::kSpeechData, 0, name, inFile, speech});
    }
}

bool RemoveMergedSpeech(SWworld& target, const MergeEntry& entry)
{
    if (entry.kind != MergedKind::kSpeechData)
        return false;
    SWspeechdata* found = nullptr;
    for (SWspeechdata* speech : SpeechOf(*target.GetRootObject())) {
        const bool same = entry.object != nullptr ? speech == entry.object : true;
        if (same && speech->GetName() == entry.name) {
            found = speech;
            break;
        }
    }
    if (found == nullptr)
        return false;
    if (const SWspeechholders* holders = GetSpeechHolders(); holders != nullptr && holders->release != nullptr)
        holders->release(target, *found);
    found->Detach();
    delete found;
    target.RaiseStructureGeneration();
    return true;
}

constexpr SWworldsectionhandler kSpeechSection = {.write = &WriteSpeechSection,
                                                  .read = &ReadSpeechSection,
                                                  .merge = &MergeSpeechSection,
                                                  .removeMerged = &RemoveMergedSpeech};
const SWworldsectionregistration kSpeechRegistered(WorldSection::kSpeech, &kSpeechSection);

} // namespace

SWspeechdata::SWspeechdata()
{
    AddTypeTag(kTag);
}

SWspeechdata::SWspeechdata(std::string name) : SWspeechdata()
{
    m_strings[0] = std::move(name);
}

void SWspeechdata::SetString(int index, std::string text)
{
    if (index >= 0 && index <= 2)
        m_strings[index] = std::move(text);
}

const SWspeechchannel* SWspeechdata::GetChannel(uint32_t index) const
{
    return index < m_channels.size() ? &m_channels[index] : nullptr;
}

void SWspeechdata::AddChannel(uint32_t code, std::vector<float> values)
{
    m_channels.emplace_back(code, std::move(values));
}

bool SWspeechdata::Write(SWchunkstream& out)
{
    for (const std::string& text : m_strings)
        out.WriteString(text);
    out.WriteU32(m_frameRate);
    out.WriteU32(GetChannelCount());
    for (const SWspeechchannel& channel : m_channels) {
        out.WriteU32(channel.GetValueCount());
        out.WriteU32(channel.GetCode());
        for (float value : channel.GetValues())
            out.WriteF32(value);
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

bool SWspeechdata::Read(SWchunkstream& in)
{
    std::string strings[3];
    for (std::string& text : strings)
        in.ReadString(text);
    const uint32_t rate = in.ReadU32();
    const uint32_t count = in.ReadU32();
    // Each channel needs at least its value count and code: a count the record cannot hold is refused before it
    // sizes anything.
    if (in.Status() != 0 || count > in.Remaining() / 8)
        return false;
    std::vector<SWspeechchannel> channels;
    try {
        channels.reserve(count);
        for (uint32_t c = 0; c < count; ++c) {
            const uint32_t values = in.ReadU32();
            const uint32_t code = in.ReadU32();
            if (in.Status() != 0 || values > in.Remaining() / 4)
                return false;
            std::vector<float> read(values);
            for (float& value : read)
                value = in.ReadF32();
            channels.emplace_back(code, std::move(read));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    while (in.Status() == 0 && in.PeekTag() != MakeTag("END ") && in.Remaining() >= 8)
        if (!in.SkipRecord())
            return false;
    if (in.Status() != 0)
        return false;
    for (int i = 0; i < 3; ++i)
        m_strings[i] = std::move(strings[i]);
    m_frameRate = rate;
    m_channels = std::move(channels);
    return true;
}

bool SWspeechdata::operator==(const SWspeechdata& other) const
{
    if (m_strings[0] != other.m_strings[0] || m_strings[1] != other.m_strings[1] ||
        m_strings[2] != other.m_strings[2] || m_frameRate != other.m_frameRate ||
        m_channels.size() != other.m_channels.size())
        return false;
    for (size_t c = 0; c < m_channels.size(); ++c) {
        const SWspeechchannel& a = m_channels[c];
        const SWspeechchannel& b = other.m_channels[c];
        if (a.GetCode() != b.GetCode() || a.GetValueCount() != b.GetValueCount())
            return false;
        for (uint32_t i = 0; i < a.GetValueCount(); ++i)
            if (std::bit_cast<uint32_t>(a.GetValues()[i]) != std::bit_cast<uint32_t>(b.GetValues()[i]))
                return false;
    }
    return true;
}

const SWspeechholders* GetSpeechHolders()
{
    return g_holders.load(std::memory_order_acquire);
}

void SetSpeechHolders(const SWspeechholders* holders)
{
    g_holders.store(holders, std::memory_order_release);
}

SWspeechdata* FindSpeechData(CVTN_Container* container)
{
    if (container == nullptr)
        return nullptr;
    if (auto* speech = dynamic_cast<SWspeechdata*>(container))
        return speech;
    for (int list = 0; list < CVTN_Container::kChildLists; ++list)
        for (CVTN_Container* child = container->GetFirstChild(list); child != nullptr; child = child->GetNextSibling())
            if (SWspeechdata* found = FindSpeechData(child))
                return found;
    return nullptr;
}

SWspeechdata* FindSpeechDataByName(CVTN_Container* container, const std::string& name)
{
    if (container == nullptr)
        return nullptr;
    for (int list = 0; list < CVTN_Container::kChildLists; ++list)
        for (CVTN_Container* child = container->GetFirstChild(list); child != nullptr; child = child->GetNextSibling())
            if (auto* speech = dynamic_cast<SWspeechdata*>(child); speech != nullptr && speech->GetName() == name)
                return speech;
    return nullptr;
}
