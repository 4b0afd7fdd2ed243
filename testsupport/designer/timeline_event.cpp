#include "testsupport/designer/timeline_event.h"

#include <memory>
#include <string>

#include "designer/app/extended_world.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"
#include "testsupport/designer/sample_world.h"

namespace designertest {

namespace {

constexpr float kQuarterTurn = 1.5707964f;

void NameTarget(SWactionnode& action, const SWnode* node)
{
    if (node != nullptr && node->GetName())
        action.AddArgument(node->GetName()->c_str(), SWdatanode::kString, true);
}

} // namespace

TimelineEvent::TimelineEvent(SampleWorld& sample)
{
    CVTND_ExtendedWorld& world = sample.world;
    event = world.AddEventOfType(4);
    event->SetName(std::string("timeline"));
    event->SetTimeLineLength(kTimeLineMs);

    sound = sample.AddAction(*event, 7);
    sound->SetDelay(kSoundDelayMs);
    if (auto* play = dynamic_cast<SWsoundaction*>(sound)) {
        play->settings.startMs = 0;
        play->settings.endMs = 1000;
        play->settings.playOption2 = 3;
    }
    if (sample.sound != nullptr)
        sound->AddArgument(sample.sound->GetName().c_str(), SWdatanode::kString, true);

    keyFrame = sample.AddAction(*event, 44);
    keyFrame->SetDelay(kKeyFrameDelayMs);
    if (auto* play = dynamic_cast<SWkeyframemotion*>(keyFrame->GetMotion())) {
        play->SetUseExplicitDuration(true);
        play->SetExplicitDuration(2000.0f);
        play->SetLoop(true);
    }
    NameTarget(*keyFrame, sample.object);

    rotate = sample.AddAction(*event, 41);
    rotate->SetDelay(kRotateDelayMs);
    if (auto* motionAction = dynamic_cast<SWmotionaction*>(rotate)) {
        auto motion = std::make_unique<SWxyzmotion>(&world, SWxyzmotion::kRotate);
        auto track = std::make_unique<SWaxistrack>(&world, kQuarterTurn);
        track->SetDuration(kRotateMs);
        motion->SetGenerator(std::move(track), 1);
        motionAction->SetMotion(std::move(motion));
    }
    NameTarget(*rotate, sample.otherObject);

    condition = sample.AddAction(*event, 25);
    thenFollower = sample.AddAction(*event, 21);
    thenFollower->SetThenLink(condition->GetActionId());
    elseFollower = sample.AddAction(*event, 22);
    elseFollower->SetElseLink(condition->GetActionId());
    queue = sample.AddAction(*event, 30);
    for (const int32_t kind : {21, 22}) {
        SWactionnode* member = sample.AddAction(*event, kind);
        member->SetQueueLink(queue->GetActionId());
        queueMembers.push_back(member);
    }
}

} // namespace designertest
