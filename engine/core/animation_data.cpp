#include "engine/core/animation_data.h"

#include <algorithm>
#include <new>

void AnimationTrack::SetKey(uint32_t frame, const SWmatrix& m)
{
    const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), frame,
                                     [](const AnimationKey& key, uint32_t f) { return key.frame < f; });
    if (at != m_keys.end() && at->frame == frame)
        at->matrix = m;
    else
        m_keys.insert(at, AnimationKey{frame, m});
}

uint32_t AnimationTrack::GetFrameCount() const
{
    return m_keys.empty() ? 0 : m_keys.back().frame + 1u;
}

const SWmatrix* AnimationTrack::FindKey(uint32_t frame) const
{
    const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), frame,
                                     [](const AnimationKey& key, uint32_t f) { return key.frame < f; });
    return at != m_keys.end() && at->frame == frame ? &at->matrix : nullptr;
}

const NodeMotionClip* NodeMotionList::FindById(uint32_t id) const
{
    for (const NodeMotionClip& clip : m_clips)
        if (clip.id == id)
            return &clip;
    return nullptr;
}

AnimationTrack& AnimationTrackSet::AddTrack(std::optional<std::string> name)
{
    return m_tracks.emplace_back(std::move(name));
}

const AnimationTrack* AnimationTrackSet::FindByName(std::string_view name) const
{
    for (const AnimationTrack& track : m_tracks)
        if (track.GetName() && *track.GetName() == name)
            return &track;
    return nullptr;
}

AnimationTrack* AnimationTrackSet::FindByName(std::string_view name)
{
    return const_cast<AnimationTrack*>(static_cast<const AnimationTrackSet*>(this)->FindByName(name));
}

const SWmatrix& AnimationTrackSet::GetTrackValue(uint32_t frame, int) const
{
    const AnimationTrack* track = FindByName(m_defaultName);
    const SWmatrix* key = track != nullptr ? track->FindKey(frame) : nullptr;
    return key != nullptr ? *key : m_defaultSlot;
}

uint32_t AnimationTrackSet::GetFrameCount() const
{
    const AnimationTrack* track = FindByName(m_defaultName);
    return track != nullptr ? track->GetFrameCount() : 0;
}

bool VertexFrameTable::Allocate(uint32_t frameCount, uint32_t vertexCount)
{
    const uint64_t floats = uint64_t{frameCount} * vertexCount * 3;
    if (floats > SIZE_MAX / sizeof(float))
        return false;
    try {
        std::vector<float> positions(static_cast<size_t>(floats), 0.0f);
        std::lock_guard guard(m_lock);
        m_positions = std::move(positions);
        m_frameCount = frameCount;
        m_vertexCount = vertexCount;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool VertexFrameTable::Adopt(uint32_t frameCount, uint32_t vertexCount, std::vector<float>&& positions)
{
    if (positions.size() != uint64_t{frameCount} * vertexCount * 3)
        return false;
    std::lock_guard guard(m_lock);
    m_positions = std::move(positions);
    m_frameCount = frameCount;
    m_vertexCount = vertexCount;
    return true;
}

std::span<float> VertexFrameTable::GetFrameVertices(uint32_t frame)
{
    if (m_frameCount == 0 || m_vertexCount == 0)
        return {};
    const uint32_t clamped = std::min(frame, m_frameCount - 1);
    const size_t perFrame = size_t{m_vertexCount} * 3;
    return std::span<float>(m_positions).subspan(clamped * perFrame, perFrame);
}

bool VertexFrameTable::GetVertex(uint32_t frame, uint32_t vertex, float (&out)[3]) const
{
    if (m_frameCount == 0 || vertex >= m_vertexCount)
        return false;
    const size_t at = (size_t{std::min(frame, m_frameCount - 1)} * m_vertexCount + vertex) * 3;
    out[0] = m_positions[at];
    out[1] = m_positions[at + 1];
    out[2] = m_positions[at + 2];
    return true;
}
