#include "engine/resources/tooltip.h"

#include <algorithm>
#include <cmath>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/node.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/scene_import.h"
#include "engine/core/type_tag.h"
#include "engine/core/world_sections.h"
#include "engine/resources/gdi_canvas.h"
#include "engine/resources/image32.h"
#include "engine/resources/render_layer.h"
#include "engine/resources/world_records.h"

namespace {

constexpr uint32_t kTagEntry = MakeTag("TTIE");

uint32_t Premultiplied(uint32_t pixel, float fraction)
{
    const float a = static_cast<float>(pixel >> 24) / 255.0f * fraction;
    const auto channel = [&](int shift) {
        return static_cast<uint32_t>(static_cast<float>((pixel >> shift) & 0xFFu) * a) << shift;
    };
    return static_cast<uint32_t>(a * 255.0f) << 24 | channel(16) | channel(8) | channel(0);
}

bool WriteTooltips(SWworldwriting& out, SWchunkstream& payload)
{
    bool overLimit = false;
    const bool written = WriteTooltipList(out.World(), payload, out.Mode(), &overLimit);
    if (overLimit)
        out.Writer().Refuse(DocumentStatus::kOverLimit);
    return written;
}

bool ReadTooltips(SWworldreading& in, SWchunkstream& payload)
{
    return ReadTooltipList(in.World(), payload);
}

CVTN_ToolTip* FindTooltip(SWworld& world, const std::string& name)
{
    SWtooltips* tooltips = SWtooltips::Find(world);
    for (SWlistnode* n = tooltips != nullptr ? tooltips->GetList().Head() : nullptr; n != nullptr; n = n->Next()) {
        if (static_cast<CVTN_ToolTip*>(n)->GetName() == name)
            return static_cast<CVTN_ToolTip*>(n);
    }
    return nullptr;
}

// Tooltips are found by name, so a merged one takes a name no tooltip of the target has ("%s_%d").
std::string UniqueTooltipName(SWworld& target, const std::string& name)
{
    if (FindTooltip(target, name) == nullptr)
        return name;
    for (int suffix = 1;; ++suffix) {
        std::string candidate = name + "_" + std::to_string(suffix);
        if (FindTooltip(target, candidate) == nullptr)
            return candidate;
    }
}

// A tooltip's sprites live on its own world's layer, so it cannot simply move: it is written from the import and
// read again into the target, where it makes its sprites on the target's layer. Its entries name nodes by id, and
// merged nodes keep their ids.
void MergeTooltipSection(SWworld& target, SWworld& import, uint32_t kinds, MergeRecord& record)
{
    SWtooltips* from = SWtooltips::Find(import);
    if ((kinds & kMergeTooltips) == 0 || from == nullptr || from->GetList().Count() == 0)
        return;
    EnsureTooltipParts(target);
    SWlist& to = SWtooltips::Find(target)->GetList();
    for (SWlistnode* n = from->GetList().Head(); n != nullptr; n = n->Next()) {
        const auto* source = static_cast<const CVTN_ToolTip*>(n);
        SWbuffer buffer;
        {
            SWchunkstream out(buffer, SWchunkstream::kWrite);
            out.SetFormatVersion(kWorldFormatVersion);
            if (!source->Write(out))
                continue; // one that cannot be written (out of memory) stays behind with the import
        }
        SWchunkstream in(buffer, SWchunkstream::kRead);
        in.SetFormatVersion(kWorldFormatVersion);
        auto copy = std::make_unique<CVTN_ToolTip>(&target);
        if (!copy->Read(in))
            continue;
        // The nodes moved before the tooltips do, so the import no longer finds them and wrote names only: the
        // copy's entries take their ids back where the target has the node.
        const CVTN_ToolTipEntry* from = source->GetFirstEntry();
        for (CVTN_ToolTipEntry* e = copy->GetFirstEntry(); e != nullptr && from != nullptr;
             e = CVTN_ToolTip::GetNextEntry(e), from = CVTN_ToolTip::GetNextEntry(from)) {
            if (from->nodeId != CVTN_ToolTipEntry::kNoNode && target.GetRootNode()->FindById(from->nodeId) != nullptr)
                e->nodeId = from->nodeId;
        }
        const std::string name = UniqueTooltipName(target, source->GetName());
        copy->SetTooltipName(name);
        record.entries.push_back({MergedKind::kTooltip, 0, name, source->GetName(), copy.get()});
        to.AddTail(copy.release());
    }
}

bool RemoveMergedTooltip(SWworld& target, const MergeEntry& entry)
{
    if (entry.kind != MergedKind::kTooltip)
        return false;
    SWtooltips* tooltips = SWtooltips::Find(target);
    for (SWlistnode* n = tooltips != nullptr ? tooltips->GetList().Head() : nullptr; n != nullptr; n = n->Next()) {
        const auto* tooltip = static_cast<const CVTN_ToolTip*>(n);
        const bool same = entry.object != nullptr ? tooltip == entry.object && tooltip->GetName() == entry.name
                                                  : tooltip->GetName() == entry.name;
        if (same) {
            tooltips->GetList().Delete(n);
            return true;
        }
    }
    return false;
}

constexpr SWworldsectionhandler kTooltipSection = {.writeStream = &WriteTooltips,
                                                   .readStream = &ReadTooltips,
                                                   .merge = &MergeTooltipSection,
                                                   .removeMerged = &RemoveMergedTooltip};
const SWworldsectionregistration kTooltipsRegistered(WorldSection::kTooltips, &kTooltipSection);

} // namespace

bool WriteTooltipList(SWworld& world, SWchunkstream& payload, WorldFileMode mode, bool* outOverLimit)
{
    SWtooltips* tooltips = SWtooltips::Find(world);
    if (tooltips == nullptr)
        return true;
    uint64_t drawnBytes = 0;
    for (SWlistnode* n = tooltips->GetList().Head(); n != nullptr; n = n->Next()) {
        auto* tooltip = static_cast<CVTN_ToolTip*>(n);
        const bool drawn = tooltip->IsDrawnFromOwnRecord();
        const bool withPixels = mode != WorldFileMode::kProject || !drawn;
        const bool drawnToWrite = withPixels && !tooltip->IsPictureMade();
        if (withPixels)
            tooltip->MakePicture();
        const SWimage32* texture = tooltip->GetTexture();
        if (withPixels && drawn && texture != nullptr)
            drawnBytes += uint64_t{texture->GetWidth32()} * texture->GetHeight32() * 4;
        if (drawnBytes > kMostDrawnTooltipBytes) {
            if (drawnToWrite)
                tooltip->ReleasePicture();
            if (outOverLimit != nullptr)
                *outOverLimit = true;
            return false;
        }
        SWrecordbuilder record(payload, kTagEntry);
        const bool written = tooltip->Write(record.Stream(), withPixels) && record.Finish();
        if (drawnToWrite)
            tooltip->ReleasePicture();
        if (!written)
            return false;
    }
    return true;
}

bool ReadTooltipList(SWworld& world, SWchunkstream& payload)
{
    EnsureTooltipParts(world);
    SWlist read;
    while (payload.Status() == 0 && payload.Remaining() >= 8) {
        const uint32_t tag = payload.TakeTag();
        const std::unique_ptr<SWchunkstream> child = payload.OpenChild();
        if (tag != kTagEntry)
            continue;
        auto tooltip = std::make_unique<CVTN_ToolTip>(&world);
        if (!tooltip->Read(*child) || child->Status() != 0)
            return false;
        read.AddTail(tooltip.release());
    }
    if (payload.Status() != 0)
        return false;
    SWtooltips::Find(world)->GetList().AddChain(read);
    return true;
}

CVTN_ToolTip::CVTN_ToolTip(SWworld* world, std::string name) : m_world(world), m_name(std::move(name)) {}

CVTN_ToolTip::~CVTN_ToolTip()
{
    DestroySprites();
}

void CVTN_ToolTip::GetPosition(float& x, float& y) const
{
    x = m_x;
    y = m_y;
}

void CVTN_ToolTip::SetPosition(float x, float y)
{
    m_x = x;
    m_y = y;
}

void CVTN_ToolTip::SetShownPosition(int32_t x, int32_t y)
{
    m_shownX = x;
    m_shownY = y;
    if (m_currentSprite != nullptr)
        m_currentSprite->SetPosition(x, y);
    if (m_faderSprite != nullptr)
        m_faderSprite->SetPosition(x, y);
}

CVTN_ToolTipEntry* CVTN_ToolTip::FindEntry(const SWnode* node) const
{
    if (node == nullptr)
        return nullptr;
    for (CVTN_ToolTipEntry* e = GetFirstEntry(); e != nullptr; e = GetNextEntry(e))
        if (e->nodeId == node->GetId())
            return e;
    return nullptr;
}

CVTN_ToolTipEntry* CVTN_ToolTip::GetOrAddEntry(const SWnode* node)
{
    if (node == nullptr)
        return nullptr;
    if (CVTN_ToolTipEntry* found = FindEntry(node))
        return found;
    auto* entry = new CVTN_ToolTipEntry(node->GetId(), node->GetName().value_or(std::string()));
    m_entries.AddTail(entry);
    return entry;
}

void CVTN_ToolTip::DeleteEntry(CVTN_ToolTipEntry* entry)
{
    m_entries.Delete(entry);
}

void CVTN_ToolTip::AddStoredEntry(uint32_t nodeId, std::string name)
{
    m_entries.AddTail(new CVTN_ToolTipEntry(nodeId, std::move(name)));
}

CVTN_ToolTipEntry* CVTN_ToolTip::GetNextEntry(const CVTN_ToolTipEntry* entry)
{
    return entry != nullptr ? static_cast<CVTN_ToolTipEntry*>(entry->Next()) : nullptr;
}

SWnode* CVTN_ToolTip::GetEntryNode(const CVTN_ToolTipEntry& entry) const
{
    if (m_world == nullptr || entry.nodeId == CVTN_ToolTipEntry::kNoNode)
        return nullptr;
    return m_world->GetRootNode()->FindById(entry.nodeId);
}

SWrenderlayer* CVTN_ToolTip::Layer() const
{
    return m_world != nullptr ? dynamic_cast<SWrenderlayer*>(m_world->GetPart(WorldPart::kTooltipLayer)) : nullptr;
}

float CVTN_ToolTip::Now() const
{
    return m_world != nullptr ? m_world->GetCurrentWorldTime() : 0.0f;
}

void CVTN_ToolTip::DestroySprites()
{
    for (SWlayersprite** sprite : {&m_mainSprite, &m_faderSprite}) {
        if (*sprite != nullptr) {
            (*sprite)->SetBackLink(nullptr);
            (*sprite)->Destroy();
            *sprite = nullptr;
        }
    }
    m_currentSprite = nullptr;
}

void CVTN_ToolTip::ReleaseTexture()
{
    DestroySprites();
    m_texture.reset();
    m_fader.reset();
}

bool CVTN_ToolTip::SetTextureSize(uint32_t width, uint32_t height)
{
    SWrenderlayer* layer = Layer();
    if (layer == nullptr)
        return false;
    auto texture = SWimage32::SWimage32FromPixels("TTtexture", width, height, nullptr);
    std::unique_ptr<SWimage32> fader;
    if (fadeIn > 0.0) {
        fader = SWimage32::SWimage32FromPixels("fader", width, height, nullptr);
        if (fader == nullptr)
            return false;
    }
    if (texture == nullptr)
        return false;
    DestroySprites();
    m_texture = std::move(texture);
    m_fader = std::move(fader);
    m_mainSprite = SWlayersprite::Create(*layer, m_shownX, m_shownY, m_texture.get());
    m_mainSprite->SetBackLink(&m_mainSprite);
    m_mainSprite->SetEnabled(m_shown);
    m_currentSprite = m_mainSprite;
    if (m_fader != nullptr) {
        m_faderSprite = SWlayersprite::Create(*layer, m_shownX, m_shownY, m_fader.get());
        m_faderSprite->SetBackLink(&m_faderSprite);
        m_faderSprite->SetEnabled(false);
    }
    return true;
}

bool CVTN_ToolTip::WriteTexture(const GdiCanvas& canvas, GdiCanvasImage* image)
{
    if (m_texture == nullptr || image == nullptr)
        return false;
    uint32_t* pixels = m_texture->GetPixelBuffer();
    const int32_t rows = canvas.CopyImageTo(image, pixels, m_texture->GetWidth(), m_texture->GetHeight());
    for (size_t i = 0; i < m_texture->PixelCount(); ++i)
        pixels[i] |= 0xFF000000u;
    m_texture->Touch();
    return rows > 0;
}

void CVTN_ToolTip::WriteFader(float fraction)
{
    if (m_fader == nullptr || m_texture == nullptr)
        return;
    const uint32_t* source = m_texture->GetPixels();
    uint32_t* out = m_fader->GetPixelBuffer();
    const size_t count = std::min(m_texture->PixelCount(), m_fader->PixelCount());
    for (size_t i = 0; i < count; ++i)
        out[i] = Premultiplied(source[i], fraction);
    m_fader->Touch();
}

void CVTN_ToolTip::Show(bool immediate)
{
    if (m_shown)
        return;
    MakePicture();
    m_shown = true;
    if (!immediate && m_faderSprite != nullptr && fadeIn > 0.0) {
        m_fade = Fade::kIn;
        m_fadeStart = Now();
        if (m_mainSprite != nullptr)
            m_mainSprite->SetEnabled(false);
        m_faderSprite->SetEnabled(true);
        m_currentSprite = m_faderSprite;
        WriteFader(0.0f);
        return;
    }
    m_fade = Fade::kNone;
    if (m_faderSprite != nullptr)
        m_faderSprite->SetEnabled(false);
    if (m_mainSprite != nullptr)
        m_mainSprite->SetEnabled(true);
    m_currentSprite = m_mainSprite;
}

void CVTN_ToolTip::Hide(bool immediate)
{
    m_shown = false;
    if (!immediate && m_faderSprite != nullptr && fadeOut > 0.0) {
        m_fade = Fade::kOut;
        m_fadeStart = Now();
        if (m_mainSprite != nullptr)
            m_mainSprite->SetEnabled(false);
        m_faderSprite->SetEnabled(true);
        m_currentSprite = m_faderSprite;
        WriteFader(1.0f);
        return;
    }
    m_fade = Fade::kNone;
    if (m_faderSprite != nullptr)
        m_faderSprite->SetEnabled(false);
    if (m_mainSprite != nullptr)
        m_mainSprite->SetEnabled(false);
}

void CVTN_ToolTip::Step(float nowMs)
{
    if (m_fade == Fade::kNone)
        return;
    const double length = m_fade == Fade::kIn ? fadeIn : fadeOut;
    const double elapsed = static_cast<double>(nowMs) - m_fadeStart;
    const double t = length > 0.0 ? std::clamp(elapsed / length, 0.0, 1.0) : 1.0;
    if (t < 1.0) {
        WriteFader(static_cast<float>(m_fade == Fade::kIn ? t : 1.0 - t));
        return;
    }
    const bool wasIn = m_fade == Fade::kIn;
    m_fade = Fade::kNone;
    if (m_faderSprite != nullptr)
        m_faderSprite->SetEnabled(false);
    if (m_mainSprite != nullptr)
        m_mainSprite->SetEnabled(wasIn);
    m_currentSprite = m_mainSprite;
}

bool CVTN_ToolTip::Write(SWchunkstream& out, bool withPixels) const
{
    out.WriteString(m_name);
    out.WriteF64(delay);
    out.WriteF64(fadeIn);
    out.WriteF64(fadeOut);
    out.WriteU8(showAtCursor);
    out.WriteF32(m_x);
    out.WriteF32(m_y);
    out.WriteU32(withPixels ? m_width : 0);
    out.WriteU32(withPixels ? m_height : 0);
    out.WriteU32(static_cast<uint32_t>(m_entries.Count()));
    for (CVTN_ToolTipEntry* e = GetFirstEntry(); e != nullptr; e = GetNextEntry(e))
        out.WriteU32(GetEntryNode(*e) != nullptr ? e->nodeId : CVTN_ToolTipEntry::kNoNode);
    for (CVTN_ToolTipEntry* e = GetFirstEntry(); e != nullptr; e = GetNextEntry(e)) {
        const SWnode* node = GetEntryNode(*e);
        out.WriteString(node != nullptr && node->GetName() ? *node->GetName() : e->name);
    }
    if (m_texture != nullptr && withPixels) {
        SWrecordbuilder image(out, m_texture->GetTag());
        if (!WriteImagePayload(*m_texture, image.Stream()) || !image.Finish())
            return false;
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

bool CVTN_ToolTip::Read(SWchunkstream& in)
{
    std::string name;
    in.ReadString(name);
    double readDelay = in.ReadF64();
    double readFadeIn = in.ReadF64();
    double readFadeOut = in.ReadF64();
    const uint8_t atCursor = in.ReadU8();
    const float x = in.ReadF32();
    const float y = in.ReadF32();
    const uint32_t width = in.ReadU32();
    const uint32_t height = in.ReadU32();
    const uint32_t count = in.ReadU32();
    // Every entry takes an id and a string length at least.
    if (in.Status() != 0 || count > in.Remaining() / 8)
        return false;
    // Node ids go through the document's id policy, so a file read to be merged, whose nodes get fresh ids, keeps
    // its entries on them; "none" (0xFFFFFFFF) keeps its meaning.
    std::vector<uint32_t> ids(count);
    for (uint32_t& id : ids)
        id = ReadReferencedId(in);
    std::vector<std::string> names(count);
    for (std::string& text : names)
        in.ReadString(text);
    if (in.Status() != 0)
        return false;
    std::unique_ptr<SWimage32> texture;
    if (in.Remaining() > 0 && in.Remaining() < 8)
        return false; // the start of a texture record, cut short
    if (in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> child = in.OpenChild();
        std::unique_ptr<SWtexture> image = ReadImagePayload(tag, *child);
        if (image == nullptr || child->Status() != 0 || tag != MakeTag("CI32"))
            return false;
        texture.reset(static_cast<SWimage32*>(image.release()));
    }
    if (in.Status() != 0)
        return false;
    m_name = std::move(name);
    delay = readDelay;
    fadeIn = readFadeIn;
    fadeOut = readFadeOut;
    showAtCursor = atCursor;
    m_x = x;
    m_y = y;
    // A tooltip shows no more than its texture: a larger size would be written back as it came.
    m_width = std::min(width, texture != nullptr ? texture->GetWidth32() : 0);
    m_height = std::min(height, texture != nullptr ? texture->GetHeight32() : 0);
    m_entries.DeleteAll();
    for (uint32_t i = 0; i < count; ++i)
        AddStoredEntry(ids[i], std::move(names[i]));
    if (texture != nullptr && SetTextureSize(texture->GetWidth32(), texture->GetHeight32()))
        std::copy(texture->GetPixels(), texture->GetPixels() + texture->PixelCount(), m_texture->GetPixelBuffer());
    else if (texture != nullptr)
        m_texture = std::move(texture); // no layer to show it on: kept for writing back
    return true;
}

SWtooltips* SWtooltips::Find(const SWworld& world)
{
    return dynamic_cast<SWtooltips*>(world.GetPart(WorldPart::kTooltips));
}

void EnsureTooltipParts(SWworld& world)
{
    if (SWtooltips::Find(world) == nullptr)
        world.SetPart(WorldPart::kTooltips, std::make_unique<SWtooltips>());
    if (dynamic_cast<SWrenderlayer*>(world.GetPart(WorldPart::kTooltipLayer)) == nullptr)
        world.SetPart(WorldPart::kTooltipLayer, std::make_unique<SWrenderlayer>());
    if (dynamic_cast<GdiCanvas*>(world.GetPart(WorldPart::kCanvasManager)) == nullptr)
        world.SetPart(WorldPart::kCanvasManager, std::make_unique<GdiCanvas>(&world));
}

void StepTooltips(SWworld& world)
{
    SWtooltips* tooltips = SWtooltips::Find(world);
    if (tooltips == nullptr)
        return;
    const float now = world.GetCurrentWorldTime();
    for (SWlistnode* n = tooltips->GetList().Head(); n != nullptr; n = n->Next()) {
        auto* tooltip = static_cast<CVTN_ToolTip*>(n);
        if (tooltip->IsFading())
            world.SetNothingAnimated(0); // its fader's pixels change from frame to frame
        tooltip->Step(now);
    }
}
