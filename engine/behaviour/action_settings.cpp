#include "engine/behaviour/action_settings.h"

#include <algorithm>
#include <cmath>

#include "engine/behaviour/events.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/property.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/texture.h"

namespace {

template <typename Action> SWactionnode* CloneWithSettings(const Action& action)
{
    auto* copy = new Action(action.GetKindId());
    copy->settings = action.settings;
    return copy;
}

constexpr double kFramesPerSecond = 30.0;

} // namespace

SWactionnode* SWoldanimationaction::Clone() const
{
    return CloneWithSettings(*this);
}

SWactionnode* SWoldjumpaction::Clone() const
{
    return CloneWithSettings(*this);
}

SWactionnode* SWoldarcballaction::Clone() const
{
    return CloneWithSettings(*this);
}

SWactionnode* SWsoundaction::Clone() const
{
    return CloneWithSettings(*this);
}

SWbackgroundaction::SWbackgroundaction(int32_t kindId) : SWactionnode(kindId) {}

SWbackgroundaction::SWbackgroundaction(const SWbackground& background) : SWactionnode(19)
{
    const uint32_t colour = background.GetColour(); // 0x00RRGGBB
    settings.red = static_cast<float>((colour >> 16) & 0xFF) / 255.0f;
    settings.green = static_cast<float>((colour >> 8) & 0xFF) / 255.0f;
    settings.blue = static_cast<float>(colour & 0xFF) / 255.0f;
    settings.mode = background.GetMode();
    if (const SWtexture* texture = background.GetTexture(); texture != nullptr && !texture->GetName().empty())
        m_textureName = texture->GetName();
}

SWbackgroundaction::~SWbackgroundaction() = default;

SWactionnode* SWbackgroundaction::Clone() const
{
    auto* copy = new SWbackgroundaction(GetKindId());
    copy->settings = settings;
    copy->m_textureName = m_textureName;
    if (m_ownPicture != nullptr)
        copy->m_ownPicture = m_ownPicture->Clone();
    return copy;
}

void SWbackgroundaction::SetOwnPicture(std::unique_ptr<SWtexture> picture)
{
    m_ownPicture = std::move(picture);
}

SWtexture* SWbackgroundaction::GetTexture() const
{
    if (m_ownPicture != nullptr)
        return m_ownPicture.get();
    if (GetWorld() == nullptr || !m_textureName)
        return nullptr;
    return GetWorld()->FindTextureByName(*m_textureName);
}

SWactionnode* SWvisibilityaction::Clone() const
{
    return CloneWithSettings(*this);
}

void SWconditionaction::SetOperand1(SWproperty* variable)
{
    settings.operand1Id = variable != nullptr ? variable->GetId() : kUnset;
    m_stamp1 = UINT64_MAX;
}

void SWconditionaction::SetOperand2(SWproperty* variable)
{
    settings.operand2Id = variable != nullptr ? variable->GetId() : kUnset;
    m_stamp2 = UINT64_MAX;
}

SWproperty* SWconditionaction::GetOperand1() const
{
    return Resolve(settings.operand1Id, m_cache1, m_stamp1);
}

SWproperty* SWconditionaction::GetOperand2() const
{
    return Resolve(settings.operand2Id, m_cache2, m_stamp2);
}

SWproperty* SWconditionaction::Resolve(uint32_t id, SWproperty*& cache, uint64_t& stamp) const
{
    SWworld* const world = GetWorld();
    if (id == kUnset || world == nullptr)
        return nullptr;
    const uint64_t generation = world->GetStructureGeneration();
    if (stamp != generation) {
        cache = world->FindVariableById(id);
        stamp = generation;
    }
    return cache;
}

SWactionnode* SWoldtranslationaction::Clone() const
{
    return CloneWithSettings(*this);
}

SWactionnode* SWoldrotationaction::Clone() const
{
    return CloneWithSettings(*this);
}

bool SWstopsequencenode::RemoveId(uint32_t id)
{
    const auto it = std::find(m_ids.begin(), m_ids.end(), id);
    if (it == m_ids.end())
        return false;
    m_ids.erase(it);
    return true;
}

void SWstopsequencenode::RemapIds(const std::map<uint32_t, uint32_t>& map)
{
    SWactionnode::RemapIds(map);
    for (uint32_t& id : m_ids)
        Remap(map, id);
}

SWactionnode* SWstopqueueaction::Clone() const
{
    auto* copy = new SWstopqueueaction(GetKindId());
    copy->m_ids = m_ids;
    return copy;
}

SWactionnode* SWresetaction::Clone() const
{
    return CloneWithSettings(*this);
}

SWactionnode* SWstereoaction::Clone() const
{
    return CloneWithSettings(*this);
}

SWactionnode* SWhostmessageaction::Clone() const
{
    auto* copy = new SWhostmessageaction(GetKindId());
    copy->sendVariable = sendVariable;
    return copy;
}

SWmotionaction::~SWmotionaction() = default;

double SWmotionaction::GetDuration(int32_t& outPasses, int32_t* outFrames) const
{
    if (m_motion == nullptr)
        return SWactionnode::GetDuration(outPasses, outFrames);
    outPasses = m_motion->IsLoopingForever() ? 0 : m_motion->GetLoopCount();
    const double ms = m_motion->GetDuration();
    if (outFrames != nullptr)
        *outFrames = static_cast<int32_t>(std::round(ms * kFramesPerSecond / 1000.0));
    return ms;
}

void SWmotionaction::StretchDuration(double ms)
{
    if (m_motion == nullptr || std::isnan(ms) || ms < 0.0)
        return;
    m_motion->StretchDuration(static_cast<float>(ms));
}

void SWmotionaction::SetMotion(std::unique_ptr<SWmotion> motion)
{
    m_motion = std::move(motion);
    if (auto* nodeMotion = dynamic_cast<SWnodemotion*>(m_motion.get()))
        nodeMotion->SetActionId(GetActionId());
}

void SWstopmotionsaction::AddTarget(uint32_t actionId)
{
    if (std::find(m_ids.begin(), m_ids.end(), actionId) == m_ids.end())
        m_ids.push_back(actionId);
}

SWactionnode* SWparticleaction::Clone() const
{
    auto* copy = new SWparticleaction(GetKindId());
    copy->start = start;
    copy->opaque = opaque;
    return copy;
}

SWactionnode* SWimportvtoactionnode::Clone() const
{
    return CloneWithSettings(*this);
}

SWactionnode* SWunloadworldaction::Clone() const
{
    auto* copy = new SWunloadworldaction(GetKindId());
    copy->byte1 = byte1;
    copy->byte2 = byte2;
    return copy;
}

SWactionnode* SWshowworldaction::Clone() const
{
    auto* copy = new SWshowworldaction(GetKindId());
    copy->show = show;
    copy->byte2 = byte2;
    copy->byte3 = byte3;
    return copy;
}

SWactionnode* SWhotspotlabelaction::Clone() const
{
    auto* copy = new SWhotspotlabelaction(GetKindId());
    copy->mode = mode;
    return copy;
}

bool IsMotionKind(int32_t kindId)
{
    return (kindId >= 41 && kindId <= 45) || kindId == 47 || (kindId >= 50 && kindId <= 53) ||
           (kindId >= 59 && kindId <= 64);
}

bool RunsTemplate(uint32_t type)
{
    switch (type) {
    case 1:
    case 5:
    case 6:
    case 7:
    case 8:
    case 10:
    case 13:
    case 14:
    case 15:
    case 16:
        return true;
    default:
        return false;
    }
}

SWactionnode* MakeActionOfKind(int32_t kindId)
{
    if (IsMotionKind(kindId))
        return new SWmotionaction(kindId);
    switch (kindId) {
    case 0:
    case 2:
        return new SWoldanimationaction(kindId);
    case 4:
        return new SWoldarcballaction(kindId);
    case 7:
        return new SWsoundaction(kindId);
    case 19:
        return new SWbackgroundaction(kindId);
    case 21:
    case 22:
        return new SWvisibilityaction(kindId);
    case 25:
        return new SWconditionaction(kindId);
    case 26:
        return new SWoldtranslationaction(kindId);
    case 27:
        return new SWoldrotationaction(kindId);
    case 30:
        return new SWqueueaction(kindId);
    case 31:
        return new SWstopqueueaction(kindId);
    case 32:
        return new SWoldjumpaction(kindId);
    case 33:
        return new SWkind33action(kindId);
    case 34:
        return new SWresetaction(kindId);
    case 37:
        return new SWstereoaction(kindId);
    case 39: {
        auto* action = new SWactionnode(kindId);
        const int32_t cursorId = 0;
        action->AddArgument(&cursorId, SWdatanode::kInt, true);
        return action;
    }
    case 40:
        return new SWhostmessageaction(kindId);
    case 46:
        return new SWstopmotionsaction(kindId);
    case 48:
    case 49:
        return new SWparticleaction(kindId);
    case 54:
        return new SWimportvtoactionnode(kindId);
    case 55:
        return new SWunloadworldaction(kindId);
    case 56:
        return new SWshowworldaction(kindId);
    case 57:
    case 58:
        return new SWhotspotlabelaction(kindId);
    default:
        return new SWactionnode(kindId);
    }
}
