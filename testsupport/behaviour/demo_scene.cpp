#include "testsupport/behaviour/demo_scene.h"

#include <memory>
#include <string>

#include "engine/behaviour/property.h"
#include "engine/core/java_class_node.h"
#include "engine/core/object_node.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/vector.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"

namespace {

SWproperty* Add(SWproperties2& list, const char* name, uint32_t type)
{
    auto variable = std::make_unique<SWproperty>(type);
    variable->SetName(std::string(name));
    return list.AddVariable(std::move(variable));
}

void AddEveryType(SWproperties2& list, const char* label, int32_t count, float level, const SWvector& dir)
{
    Add(list, "label", kTypeString)->SetStringAll(label);
    Add(list, "count", kTypeInteger)->SetAllFromData(TypedValueData::OfInteger(count));
    Add(list, "on", kTypeBoolean)->SetAllFromData(TypedValueData::OfBoolean(true));
    Add(list, "level", kTypeFloat)->SetFloatAll(level);
    Add(list, "dir", kTypeVector)->SetAllFromData(TypedValueData::OfVector(dir));
    Add(list, "turn", kTypeQuaternion);
    Add(list, "pose", kTypeMatrix);
}

} // namespace

void BuildDemoScene(SWworld& world)
{
    auto* lamp = new SWobjectnode();
    lamp->SetName(std::string("lamp"));
    world.AddNode(lamp, nullptr);
    AddEveryType(*lamp, "lamp", 3, 0.5f, SWvector(1.0f, 2.0f, 3.0f));

    auto* box = new SWobjectnode();
    box->SetName(std::string("box"));
    world.AddNode(box, nullptr);
    AddEveryType(*box, "box", 7, 2.0f, SWvector(0.0f, 1.0f, 0.0f));
    Add(*box, "width", kTypeFloat)->SetFloatAll(3.0f);
    Add(*box, "height", kTypeFloat)->SetFloatAll(0.0f);

    SWsound* hum = world.GetSoundList().Add(std::make_unique<SWsound>("hum"));
    SWproperties2& sound = world.GetSoundVariables(*hum);
    Add(sound, "volume", kTypeFloat)->SetFloatAll(0.25f);
    Add(sound, "pitch", kTypeInteger)->SetAllFromData(TypedValueData::OfInteger(2));

    SWjavaclassnode* res = world.AddJavaClass(std::make_unique<SWjavaclassnode>("res"));
    Add(*res, "gain", kTypeFloat)->SetFloatAll(4.0f);
}
