// The speech motions as holders of speech data (speech_data.h): the actions' motions and the running ones of the
// world's timed-action table, which a merge renames and a removal stops before it deletes their script.
#include <memory>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/world.h"
#include "engine/resources/speech_data.h"

namespace {

template <typename Visit> void ForEachSpeechMotion(SWworld& world, Visit visit)
{
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            if (auto* motion = dynamic_cast<SWspeechmotion*>(a->GetMotion()))
                visit(*motion);
        }
    }
    auto* table = dynamic_cast<TimedActionTable*>(world.GetPart(WorldPart::kTimedActions));
    const auto* running = table != nullptr ? table->GetTypeList(SWspeechmotion::kType) : nullptr;
    for (size_t i = 0; running != nullptr && i < running->size(); ++i) {
        if (auto* motion = dynamic_cast<SWspeechmotion*>((*running)[i].get()))
            visit(*motion);
    }
}

void RenameHeld(SWworld& world, const std::string& oldName, const std::string& newName)
{
    ForEachSpeechMotion(world, [&](SWspeechmotion& motion) {
        if (motion.GetSpeechDataName() == oldName)
            motion.SetSpeechDataName(newName);
    });
}

void ReleaseHeld(SWworld& world, const SWspeechdata& data)
{
    ForEachSpeechMotion(world, [&](SWspeechmotion& motion) {
        if (motion.GetSpeechData() != &data)
            return;
        motion.Stop();
        if (!motion.GetSpeechDataName())
            motion.SetSpeechDataName(data.GetName());
        motion.SetSpeechData(nullptr);
    });
}

constexpr SWspeechholders kHolders = {&RenameHeld, &ReleaseHeld};

const bool kInstalled = [] {
    SetSpeechHolders(&kHolders);
    return true;
}();

} // namespace
