#include "engine/behaviour/xyz_motion.h"

#include <algorithm>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/motion_record_loop.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"

namespace {

constexpr uint32_t kTagOwn = MakeTag("7443");

constexpr uint16_t kOrders[9][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}, {1, 0, 2}, {2, 0, 1},
                                    {2, 1, 0}, {0, 1, 0}, {1, 2, 1}, {2, 0, 2}};

SWmotion* CreateRotation(SWworld* world)
{
    return new SWxyzmotion(world, SWxyzmotion::kRotate);
}

SWmotion* CreateTranslation(SWworld* world)
{
    return new SWxyzmotion(world, SWxyzmotion::kTranslate);
}

SWmotion* CreateScale(SWworld* world)
{
    return new SWxyzmotion(world, SWxyzmotion::kScale);
}

const bool kRegistered = RegisterMotionCreator(41, CreateRotation) && RegisterMotionCreator(43, CreateTranslation) &&
                         RegisterMotionCreator(53, CreateScale);

} // namespace

SWxyzmotion::SWxyzmotion(SWworld* world, uint32_t type) : SWnodemotion(world, kRotate)
{
    SetMotionType(type);
    for (auto& generator : m_generators)
        generator = std::make_unique<SWaxistrack>(world);
    m_durationMs = GetDuration();
}

SWxyzmotion::SWxyzmotion(const SWxyzmotion& other) : SWnodemotion(other)
{
    other.CopyTo(*this);
    m_runningCopy = 1;
    for (int i = 0; i < 3; ++i) {
        const SWgenerator* source = other.GetGenerator(i);
        SetGenerator(
            source != nullptr ? std::unique_ptr<SWgenerator>(static_cast<SWgenerator*>(source->Clone())) : nullptr, i);
    }
    SetRotationOrder(other.m_order);
    m_axes = other.m_axes;
}

SWxyzmotion::~SWxyzmotion() = default;

bool SWxyzmotion::SetMotionType(uint32_t type)
{
    if (type != kRotate && type != kTranslate && type != kScale)
        return false;
    SetType(type);
    return true;
}

void SWxyzmotion::SetRotationOrder(uint8_t order)
{
    m_order = order;
    if (order < 9)
        m_axes = {kOrders[order][0], kOrders[order][1], kOrders[order][2]};
}

SWgenerator* SWxyzmotion::GetGenerator(int i) const
{
    return i >= 0 && i < 3 ? m_generators[static_cast<size_t>(i)].get() : nullptr;
}

std::unique_ptr<SWgenerator>* SWxyzmotion::GetAxisTrackSlot(int i)
{
    return i >= 0 && i < 3 ? &m_generators[static_cast<size_t>(i)] : nullptr;
}

void SWxyzmotion::SetGenerator(std::unique_ptr<SWgenerator> generator, int i)
{
    if (i < 0 || i > 2)
        return;
    if (generator != nullptr) {
        generator->SetLoopForever(m_loopForever != 0);
        generator->SetLoopCount(m_loopCount);
        generator->SetPingPong(m_pingPong != 0);
    }
    m_generators[static_cast<size_t>(i)] = std::move(generator);
    m_durationMs = GetDuration();
}

void SWxyzmotion::CopyRepeatSettings()
{
    for (auto& generator : m_generators)
        if (generator != nullptr) {
            generator->SetLoopForever(m_loopForever != 0);
            generator->SetLoopCount(m_loopCount);
            generator->SetPingPong(m_pingPong != 0);
        }
}

void SWxyzmotion::Apply()
{
    m_changed = 1;
    SWmatrix increment;
    const bool complete = m_generators[0] && m_generators[1] && m_generators[2];
    if (complete) {
        switch (GetType()) {
        case kRotate:
            for (size_t i = 0; i < 3; ++i)
                increment.PostMultiply(SWmatrix::Rotation(m_deltas[i], m_axes[i]));
            break;
        case kTranslate:
            increment = SWmatrix::Translation(m_deltas[0], m_deltas[1], m_deltas[2]);
            break;
        case kScale: {
            std::array<float, 3> ratio{};
            for (size_t i = 0; i < 3; ++i) {
                const float s = std::max(m_generators[i]->GetValue() + 1.0f, kSmallestScale);
                ratio[i] = s / m_lastScale[i];
                m_lastScale[i] = s;
            }
            increment = SWmatrix::Scaling(ratio[0], ratio[1], ratio[2]);
            break;
        }
        default:
            break;
        }
    }
    SetIncrement(increment);
}

void SWxyzmotion::StepGenerators(float ms, bool setTime)
{
    for (size_t i = 0; i < 3; ++i) {
        SWgenerator* const g = m_generators[i].get();
        m_deltas[i] = 0.0f;
        if (g == nullptr)
            continue;
        // A generator that ended before this step keeps its last delta; it must not be folded in again.
        const bool ended = g->IsDone();
        if (setTime)
            g->SetTime(ms);
        else
            g->Step(ms);
        if (!ended)
            m_deltas[i] = g->GetDelta();
    }
}

bool SWxyzmotion::Step(float nowMs)
{
    if (m_running != 0 && m_done == 0)
        StepGenerators(nowMs, false);
    return SWnodemotion::Step(nowMs);
}

void SWxyzmotion::SetTime(float ms)
{
    StepGenerators(ms, true);
    SWnodemotion::SetTime(ms);
}

void SWxyzmotion::Reset(bool onPassBoundary)
{
    if (!onPassBoundary)
        m_lastScale = {1.0f, 1.0f, 1.0f};
    for (auto& generator : m_generators)
        if (generator != nullptr)
            generator->Reset(onPassBoundary);
    SWnodemotion::Reset(onPassBoundary);
}

void SWxyzmotion::Rewind()
{
    m_lastScale = {1.0f, 1.0f, 1.0f};
    for (auto& generator : m_generators)
        if (generator != nullptr) {
            generator->Rewind();
            generator->Start();
        }
    SWnodemotion::Rewind();
}

bool SWxyzmotion::SetLoop(bool forever)
{
    for (auto& generator : m_generators)
        if (generator != nullptr)
            generator->SetLoopForever(forever);
    return SWnodemotion::SetLoop(forever);
}

int32_t SWxyzmotion::SetRepeatCount(int32_t count)
{
    for (auto& generator : m_generators)
        if (generator != nullptr)
            generator->SetLoopCount(count);
    return SWnodemotion::SetRepeatCount(count);
}

bool SWxyzmotion::SetOscillate(bool on)
{
    for (auto& generator : m_generators)
        if (generator != nullptr)
            generator->SetPingPong(on);
    return SWnodemotion::SetOscillate(on);
}

float SWxyzmotion::GetDuration() const
{
    float longest = 0.0f;
    for (const auto& generator : m_generators)
        if (generator != nullptr)
            longest = std::max(longest, generator->GetDuration());
    return longest;
}

void SWxyzmotion::SetDuration(float ms)
{
    for (auto& generator : m_generators)
        if (generator != nullptr)
            generator->SetDuration(ms);
    m_durationMs = GetDuration();
}

void SWxyzmotion::StretchDuration(float ms)
{
    if (!(ms > 0.0f))
        return;
    const float old = GetDuration();
    for (auto& generator : m_generators) {
        if (generator == nullptr)
            continue;
        // Without any length there is nothing to scale: a new motion's axes all take the length asked for, so the
        // time line can lengthen it.
        if (!(old > 0.0f))
            generator->StretchDuration(ms);
        else if (generator->GetDuration() > 0.0f)
            generator->StretchDuration(generator->GetDuration() * ms / old);
    }
    m_durationMs = ms;
}

bool SWxyzmotion::Save(SWchunkstream& out) const
{
    SWrecordbuilder own(out, kTagOwn);
    own.Stream().WriteU8(m_order);
    if (!own.Finish())
        return false;
    for (uint32_t i = 0; i < 3; ++i) {
        SWgenerator* const g = m_generators[i].get();
        if (g == nullptr)
            continue;
        g->SetChannel(i);
        if (!g->Save(out))
            return false;
    }
    return SaveNodeRecords(out);
}

bool SWxyzmotion::Load(SWchunkstream& in)
{
    while (in.PeekTag() != kTagEnd) {
        const uint32_t tag = in.PeekTag();
        if (SWgenerator::IsGeneratorTag(tag)) {
            std::unique_ptr<SWgenerator> generator = SWgenerator::Read(GetWorld(), in);
            if (generator == nullptr)
                return false;
            const uint32_t channel = generator->GetChannel();
            if (channel < 3) // channels beyond the three axes are dropped
                SetGenerator(std::move(generator), static_cast<int>(channel));
            continue;
        }
        const bool read = ReadMotionRecord(in, in.TakeTag(), [this](uint32_t recordTag, SWchunkstream& body) {
            if (recordTag != kTagOwn)
                return LoadNodeRecord(recordTag, body);
            const uint8_t order = body.ReadU8();
            if (body.Status() != SWchunkstream::kStatusGood)
                return false;
            SetRotationOrder(order);
            return true;
        });
        if (!read)
            return false;
    }
    return in.Status() == SWchunkstream::kStatusGood;
}
