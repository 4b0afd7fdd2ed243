// The drop targets: the node picker's registration with the editor engine and its forwarding, and the property
// fields' reference texts.
#include "designer/app/designer_app.h"
#include "designer/app/engine_interface.h"
#include "designer/app/registry.h"
#include "designer/workspace/movable_target_picker.h"
#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/property_field.h"
#include "designer/workspace/tests/workspace_fixture.h"
#include "engine/behaviour/property.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"

namespace {

using namespace workspace_test;
using namespace workspace_messages;

struct Registration {
    pf::Hwnd picker = pf::kNoWindow;
    uint32_t mask = 0;
    uint32_t handle = 0;
};
std::vector<Registration> g_added;
std::vector<uint32_t> g_removed;

class RecordingEngine final : public CVTND_EngineInterface {
public:
    void BeginDrag(pf::Point, pf::Window*) override {}
    void DragTo(pf::Point) override {}
    void Drop(pf::Point) override {}
    void CancelDrag() override {}
    UIObject* MakePaletteObject(const CVTND_Object&) override { return nullptr; }
    uint32_t AddControlReceptor(pf::Window& picker, uint32_t acceptMask) override
    {
        g_added.push_back({picker.hwnd(), acceptMask, ++m_next});
        return m_next;
    }
    void RemoveControlReceptor(uint32_t handle) override { g_removed.push_back(handle); }
    void SettingChanged(uint32_t) override {}
    void Clear() override {}

private:
    uint32_t m_next = 40;
};

std::unique_ptr<CVTND_EngineInterface> MakeRecordingEngine(CVTNDesignerApp&)
{
    return std::make_unique<RecordingEngine>();
}

class DropTargets : public Controls {
protected:
    void SetUp() override
    {
        Controls::SetUp();
        g_added.clear();
        g_removed.clear();
        previous = CVTND_Registry::ReplaceEngineCreator(&MakeRecordingEngine);
        app = std::make_unique<CVTNDesignerApp>();
        ASSERT_TRUE(app->MakeEditorEngine());
    }
    void TearDown() override
    {
        host.destroy();
        app.reset();
        CVTND_Registry::ReplaceEngineCreator(previous);
        PropertyDragSource = CVTND_Object();
        Controls::TearDown();
    }
    CVTND_EngineCreator previous = nullptr;
    std::unique_ptr<CVTNDesignerApp> app;
};

TEST_F(DropTargets, PickerRegistersOnceAndGivesItBackWhenDestroyed)
{
    auto& picker = Control<CVTND_MovableTargetPicker>(kPicker);
    const pf::Hwnd handle = picker.hwnd();
    picker.EnableDrop();
    picker.EnableDrop();
    ASSERT_EQ(g_added.size(), 1u);
    EXPECT_EQ(g_added[0].picker, handle);
    EXPECT_EQ(g_added[0].mask, CVTND_MovableTargetPicker::kNodeContent);
    EXPECT_TRUE(g_removed.empty());
    host.destroy(); // the dialog closes
    EXPECT_EQ(g_removed, (std::vector<uint32_t>{g_added[0].handle}));
}

TEST_F(DropTargets, PickerOutlivingItsEngineGivesNothingBack)
{
    auto& picker = Control<CVTND_MovableTargetPicker>(kPicker);
    picker.EnableDrop();
    app->DeleteEditorEngine(); // the workspace is torn down around an open dialog
    picker.destroy();
    EXPECT_TRUE(g_removed.empty());
}

TEST_F(DropTargets, PickerForwardsDroppedNodesUnchanged)
{
    auto& picker = Control<CVTND_MovableTargetPicker>(kPicker);
    SWnode node(SWnode::kKindObject);
    EXPECT_EQ(picker.send(kNodeDropped, 0, reinterpret_cast<pf::LParam>(&node)), 1);
    ASSERT_EQ(host.received.size(), 1u);
    EXPECT_EQ(host.received[0].message, kNodeDropped);
    EXPECT_EQ(host.received[0].wParam, 0u);
    EXPECT_EQ(host.received[0].lParam, reinterpret_cast<pf::LParam>(&node));
    picker.SetShownItem(pf::generatedIcon(149, 32));
    // The 32 x 32 icon, centred in the 36 x 36 white area inside the edge, shows at once.
    EXPECT_NE(pf::screenPixel(picker.clientToScreen({5, 5})), 0xFFFFFFu);
    EXPECT_EQ(pf::screenPixel(picker.clientToScreen({3, 3})), 0xFFFFFFu);
}

TEST_F(DropTargets, PropertyFieldsShowTheReferenceAndResetTheSource)
{
    SWnode lamp(SWnode::kKindObject);
    lamp.SetName("lamp");
    SWsound bell("bell");
    SWjavaclassnode applet("Applet");
    SWnode unnamed(SWnode::kKindObject);
    SWproperty level(8);
    level.SetName("level");
    const struct {
        CVTND_Object owner;
        int32_t field;
        const char* text;
    } cases[] = {
        {CVTND_Object(ObjectType::kMeshNode, &lamp), kTestField, "NODE:lamp.level"},
        {CVTND_Object(ObjectType::kSound, &bell), kCompareField, "SOUND:bell.level"},
        {CVTND_Object(ObjectType::kResourceItem, &applet), kTestField, "RESOURCE:Applet.level"},
        {CVTND_Object(ObjectType::kObjectNode, &unnamed), kCompareField, "NODE:.level"},
        {CVTND_Object(ObjectType::kEvent, &lamp), kTestField, "before"}, // another kind inserts nothing
        {CVTND_Object(), kTestField, "before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Control<pf::Edit>(c.field).setText("before");
        PropertyDragSource = c.owner;
        Control<pf::Edit>(c.field).send(kPropertyDropped, static_cast<pf::WParam>(c.field),
                                        reinterpret_cast<pf::LParam>(&level));
        EXPECT_EQ(Control<pf::Edit>(c.field).text(), c.text);
        EXPECT_TRUE(PropertyDragSource.IsEmpty());
    }
}

} // namespace
