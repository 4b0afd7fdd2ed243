// A talking head on the frame step: the speech action starts on "head" with the world, and each frame prints the
// channel weights the motion used, three vertices of the face (a morphed one, a blinking one and one bound to the
// jaw, which the scenario lowers a little each frame; the motion sees the jaw where the last frame put it) and the
// head's turn as its matrix's first row.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "apps/vortan-trace/demo_world.h"
#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/speech_data.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"

namespace {

std::string Number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value) == 0.0 ? 0.0 : static_cast<double>(value));
    return text;
}

std::string Vertex(const SWmeshobject& mesh, uint32_t index)
{
    const float* v = mesh.GetVertices() + static_cast<size_t>(index) * 3;
    std::string text = "v";
    text.append(std::to_string(index)).append("=(").append(Number(v[0])).append(",").append(Number(v[1]));
    return text.append(",").append(Number(v[2])).append(")");
}

int RunSpeech(const TraceRun& run)
{
    pf::VirtualClock clock(1000);
    pf::setClock(&clock);
    {
        SWworld world;
        AddSpeechDemo(world);
        auto* face = dynamic_cast<SWmeshnode*>(world.GetRootNode()->FindByName("face"));
        auto* jaw = dynamic_cast<SWobjectnode*>(world.GetRootNode()->FindByName("jaw"));
        auto* turned = dynamic_cast<SWobjectnode*>(world.GetRootNode()->FindByName("head"));
        const SWspeechdata* script = FindSpeechDataByName(world.GetRootObject(), "talk");
        SWmeshobject* mesh = face != nullptr ? face->GetMeshObject() : nullptr;
        if (mesh == nullptr || jaw == nullptr || turned == nullptr || script == nullptr)
            return 1;
        world.SetRunning(true);
        for (int frame = 1; frame <= run.frames; ++frame) {
            jaw->SetLocalMatrix(SWmatrix::Translation(0.0f, -0.05f * static_cast<float>(frame - 1), 0.0f));
            world.RunFrame();
            // The frame of the script the running motion used, from its own clock.
            float local = 0.0f;
            if (const auto* list = TimedActionTable::Of(world).GetTypeList(SWspeechmotion::kType);
                list && !list->empty())
                local = list->front()->GetLocalTime();
            const auto used = static_cast<uint32_t>(std::max(local, 0.0f) * SWspeechmotion::kFramesPerMs);
            std::string line = "F";
            line.append(std::to_string(frame)).append(" speech frame ").append(std::to_string(used));
            for (uint32_t c = 0; c < script->GetChannelCount(); ++c)
                line += " c" + std::to_string(script->GetChannel(c)->GetCode()) + "=" +
                        Number(script->GetChannel(c)->GetValue(used));
            for (const uint32_t vertex : {5u, 1u, 6u})
                line.append(" ").append(Vertex(*mesh, vertex));
            const SWmatrix m = turned->GetLocalMatrix();
            line += " head=(" + Number(m[0]) + "," + Number(m[1]) + "," + Number(m[2]) + ")";
            std::printf("%s\n", line.c_str());
            clock.advance(run.dtMs);
        }
    }
    pf::setClock(nullptr);
    return kTraceDone;
}

const bool kRegistered = RegisterTraceScenario(
    {"speech", "a talking head: morph weights, head turns and jaw-bound vertices per frame", 12, RunSpeech});

} // namespace
