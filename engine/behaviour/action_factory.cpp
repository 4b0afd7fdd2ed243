// Creating actions from their kinds, and the conversion of old files' action times.
#include <algorithm>
#include <memory>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/world.h"

namespace {

// Files of builds below this one stored continuous translations per frame at 33.3 frames a second.
constexpr uint32_t kPerSecondVectorsBuild = 4000;
constexpr float kFrameFraction = 0.03003003f;
constexpr uint32_t kOneFrameMs = 33;

constexpr uint32_t kLastUnitScaleVersion = 940; // files up to it stored scale amounts with the unit added

} // namespace

// Old files: continuous axis tracks stored per-frame amounts, axes of different lengths ended at different times,
// and scale amounts counted the unit scale in.
void SWevent::ConvertOldXyzTimes(const SWactionnode& action, SWxyzmotion& motion, uint32_t buildNumber)
{
    const int32_t kind = action.GetKindId();
    if ((kind == 41 || kind == 43) && buildNumber < kPerSecondVectorsBuild) {
        float longest = 0.0f;
        for (int i = 0; i < 3; ++i) {
            SWgenerator* const g = motion.GetGenerator(i);
            if (g == nullptr)
                continue;
            if (auto* track = dynamic_cast<SWaxistrack*>(g);
                track != nullptr && track->GetDuration() == 0.0f && motion.IsLoopingForever())
                track->SetAmount(track->GetAmount() * kFrameFraction);
            longest = std::max(longest, g->GetDuration());
        }
        for (int i = 0; i < 3; ++i)
            if (SWgenerator* g = motion.GetGenerator(i); g != nullptr && g->GetDuration() < longest)
                g->SetDelay(longest - g->GetDuration());
    }
    const SWworld* const world = m_world != nullptr ? m_world->AsWorld() : nullptr;
    if (kind == 53 && world != nullptr && world->GetFileVersionNumber() <= kLastUnitScaleVersion)
        for (int i = 0; i < 3; ++i)
            if (auto* track = dynamic_cast<SWaxistrack*>(motion.GetGenerator(i)))
                track->SetAmount(track->GetAmount() - 1.0f);
}

SWactionnode* SWevent::CreateAction(SWactionkind* kind)
{
    if (kind == nullptr)
        return nullptr;
    SWactionnode* const action = MakeActionOfKind(kind->GetKindId());
    if (m_world != nullptr)
        action->SetActionId(m_world->NextActionId());
    action->SetKind(kind);
    AppendAction(action);
    if (auto* motionAction = dynamic_cast<SWmotionaction*>(action)) {
        if (const MotionCreator creator = FindMotionCreator(kind->GetKindId()))
            motionAction->SetMotion(std::unique_ptr<SWmotion>(creator(action->GetWorld())));
    }
    return action;
}

SWactionnode* SWevent::CreateHostCallbackAction(std::optional<std::string> text1, std::optional<std::string> text2)
{
    auto kind = std::make_unique<SWactionkind>();
    kind->SetName(std::string("Java callback"));
    kind->SetKindId(SWactionnode::kHostCallbackKind);
    kind->SetFirstText(std::move(text1));
    kind->SetParameter(std::move(text2));
    SWactionnode* const action = MakeActionOfKind(SWactionnode::kHostCallbackKind);
    if (m_world != nullptr)
        action->SetActionId(m_world->NextActionId());
    action->TakeOwnKind(std::move(kind));
    AppendAction(action);
    return action;
}

void SWevent::ConvertOldActionTimes(uint32_t buildNumber)
{
    for (SWactionnode* a = GetFirstAction(); a != nullptr; a = GetNextAction(a)) {
        if (auto* translation = dynamic_cast<SWoldtranslationaction*>(a)) {
            auto& settings = translation->settings;
            if (settings.durationMs != 0)
                continue;
            if (settings.continuous == 0)
                settings.durationMs = kOneFrameMs;
            else if (buildNumber < kPerSecondVectorsBuild) {
                settings.x *= kFrameFraction;
                settings.y *= kFrameFraction;
                settings.z *= kFrameFraction;
            }
        } else if (auto* rotation = dynamic_cast<SWoldrotationaction*>(a)) {
            if (rotation->settings.durationMs == 0 && rotation->settings.continuous == 0)
                rotation->settings.durationMs = kOneFrameMs;
        } else if (auto* xyz = dynamic_cast<SWxyzmotion*>(a->GetMotion())) {
            ConvertOldXyzTimes(*a, *xyz, buildNumber);
        }
    }
}
