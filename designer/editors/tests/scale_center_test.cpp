// The scale and centre tool, run as the application's tools command and the scene-graph panel run it: sizes in
// a chosen unit, the proportional fields, fit, match, centre only and cancel, and the sizes it refuses.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "designer/app/node_placement.h"
#include "designer/app/registry.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/editors/tools_scale_center_dlg.h"
#include "designer/editors/world_texts.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "engine/core/bbox.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/resources/mesh_object.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "testsupport/designer/manipulate_pose.h"
#include "testsupport/designer/number_fields.h"

namespace editorstest {
namespace {

class ScaleCenter : public EditorsFixture {
protected:
    // A mesh node whose box is sx x sy x sz metres, centred at (3, 0, 0).
    SWnode* AddBoxNode(const char* name, float sx, float sy, float sz)
    {
        auto mesh = std::make_unique<SWmeshobject>();
        std::vector<float> corners;
        for (int i = 0; i < 8; ++i) {
            corners.push_back(3.0f + ((i & 1) != 0 ? sx : -sx) / 2.0f);
            corners.push_back(((i & 2) != 0 ? sy : -sy) / 2.0f);
            corners.push_back(((i & 4) != 0 ? sz : -sz) / 2.0f);
        }
        mesh->SetVertices(std::move(corners));
        mesh->SetLoaded(true);
        mesh->ComputeBoundingBox();
        auto* node = new SWmeshnode;
        node->SetName(std::string(name));
        World().AddNode(node, nullptr);
        node->SetGeometry(World().GetRootObject()->AddGeometry(std::move(mesh)));
        World().UpdateNodeTransforms(World().GetRootNode(), 0);
        return node;
    }
    std::array<float, 3> SizeOf(const SWnode& node)
    {
        const SWbbox box = GetNodeBoundingBox(node, true);
        const auto& e = box.Extents();
        return {e[1] - e[0], e[3] - e[2], e[5] - e[4]};
    }
    // Runs the tool on node, the script driving it inside its modal run; the end code.
    int32_t Run(SWnode* node, std::function<void(CVTND_ToolsScaleCenterDlg&)> script)
    {
        sim().onModal(CVTND_ToolsScaleCenterDlg::kIdd,
                      [&](pf::Dialog& d) { script(dynamic_cast<CVTND_ToolsScaleCenterDlg&>(d)); });
        CVTND_ModalRequest request;
        request.subject.InitFromNode(node);
        return CVTND_Registry::FindModalTool(ModalTool::kScaleCenter)(*app, request);
    }
    std::string Field(pf::Dialog& d, int32_t id) { return d.child(id)->getText(); }
};

TEST_F(ScaleCenter, OpensOnTheMeasuredSizeAndKeepsTheProportionsOfATypedOne)
{
    SWnode* node = AddBoxNode("crate", 2.0f, 1.0f, 0.5f);
    const int32_t result = Run(node, [&](CVTND_ToolsScaleCenterDlg& d) {
        EXPECT_EQ(Field(d, 1004), "2");
        EXPECT_EQ(Field(d, 1005), "1");
        EXPECT_EQ(Field(d, 1006), "0.5");
        EXPECT_EQ(d.item<pf::ComboBox>(1002)->getCurSel(), 2);
        EXPECT_EQ(d.item<pf::Button>(1012)->getCheck(), pf::BST_CHECKED);
        EXPECT_EQ(d.item<pf::Button>(1187)->getCheck(), pf::BST_CHECKED);
        EXPECT_FALSE(d.child(1004)->isEnabled());
        sim().click(*d.item<pf::Button>(1013));
        ASSERT_TRUE(d.child(1004)->isEnabled());
        sim().replaceText(*d.item<pf::Edit>(1004), "4");
        EXPECT_EQ(Field(d, 1005), "2.000000");
        EXPECT_EQ(Field(d, 1006), "1.000000");
        sim().replaceText(*d.item<pf::Edit>(1005), "3");
        EXPECT_EQ(Field(d, 1004), "6.000000");
        sim().click(*d.item<pf::Button>(2));
    });
    EXPECT_EQ(result, pf::IDCANCEL);
    const auto size = SizeOf(*node);
    EXPECT_FLOAT_EQ(size[0], 2.0f); // Cancel changed nothing

    // A size refused leaves all three as they were before the typing, not as the 10000 of "1e40" made them; once
    // the field is left it shows its size again, and Apply takes them.
    EXPECT_EQ(Run(node,
                  [&](CVTND_ToolsScaleCenterDlg& d) {
                      sim().click(*d.item<pf::Button>(1013));
                      for (const char* refused : {"1e40", "-1", designertest::kFortyFiveDigits.c_str()}) {
                          sim().replaceText(*d.item<pf::Edit>(1004), refused);
                          EXPECT_EQ(Field(d, 1005), "1") << refused;
                          EXPECT_EQ(Field(d, 1006), "0.5") << refused;
                      }
                      ui().setFocus(d.child(1005)->hwnd());
                      EXPECT_EQ(Field(d, 1004), "2");
                      sim().click(*d.item<pf::Button>(1163));
                  }),
              pf::IDOK);
    EXPECT_FLOAT_EQ(SizeOf(*node)[1], 1.0f);
}

TEST_F(ScaleCenter, SizesTypedInInchesScaleTheNodeInMetresAndCentreIt)
{
    SWnode* node = AddBoxNode("crate", 2.0f, 1.0f, 0.5f);
    Run(node, [&](CVTND_ToolsScaleCenterDlg& d) {
        sim().click(*d.item<pf::Button>(1013));
        sim().click(*d.item<pf::Button>(1188)); // proportions off: three sizes of their own
        sim().replaceText(*d.item<pf::Edit>(1004), "4");
        sim().replaceText(*d.item<pf::Edit>(1005), "2");
        sim().replaceText(*d.item<pf::Edit>(1006), "1");
        sim().chooseCombo(*d.item<pf::ComboBox>(1002), 4);
        sim().click(*d.item<pf::Button>(1163));
    });
    const auto size = SizeOf(*node);
    EXPECT_NEAR(size[0], 0.1016f, 1e-5f);
    EXPECT_NEAR(size[1], 0.0508f, 1e-5f);
    EXPECT_NEAR(size[2], 0.0254f, 1e-5f);
    const SWbbox box = GetNodeBoundingBox(*node, true);
    EXPECT_NEAR(box.Extents()[0] + box.Extents()[1], 0.0f, 1e-5f); // centred
}

TEST_F(ScaleCenter, CentreOnlyMovesAndFitScalesToTheViewsSize)
{
    SWnode* node = AddBoxNode("crate", 2.0f, 1.0f, 0.5f);
    Run(node, [&](CVTND_ToolsScaleCenterDlg& d) {
        sim().click(*d.item<pf::Button>(1014));
        sim().click(*d.item<pf::Button>(1163));
    });
    EXPECT_FLOAT_EQ(SizeOf(*node)[0], 2.0f);
    EXPECT_NEAR(GetNodeBoundingBox(*node, true).Extents()[0], -1.0f, 1e-5f);

    app->SetReferenceSize(10.0f);
    Run(node, [&](CVTND_ToolsScaleCenterDlg& d) { sim().click(*d.item<pf::Button>(1163)); });
    EXPECT_NEAR(SizeOf(*node)[0], 10.0f, 1e-4f);
}

// A flat node keeps its flat axis; a target of 0 or no number is refused with the tool left open.
TEST_F(ScaleCenter, AFlatAxisKeepsItsSizeAndATargetThatIsNoSizeIsRefused)
{
    SWnode* flat = AddBoxNode("plate", 2.0f, 1.0f, 0.0f);
    Run(flat, [&](CVTND_ToolsScaleCenterDlg& d) {
        sim().click(*d.item<pf::Button>(1013));
        sim().replaceText(*d.item<pf::Edit>(1004), "4");
        sim().replaceText(*d.item<pf::Edit>(1006), "3"); // a proportion of nothing: the others stay
        EXPECT_EQ(Field(d, 1004), "4");
        sim().click(*d.item<pf::Button>(1163));
    });
    auto size = SizeOf(*flat);
    EXPECT_NEAR(size[0], 4.0f, 1e-4f);
    EXPECT_FLOAT_EQ(size[2], 0.0f);

    for (const char* target : {"0", "abc"}) {
        SCOPED_TRACE(target);
        bool stayedOpen = false;
        Run(flat, [&](CVTND_ToolsScaleCenterDlg& d) {
            sim().click(*d.item<pf::Button>(1013));
            sim().click(*d.item<pf::Button>(1188)); // proportions off: the text waits for Apply
            sim().replaceText(*d.item<pf::Edit>(1005), target);
            sim().expectMessageBox(pf::IDOK);
            sim().click(*d.item<pf::Button>(1163));
            stayedOpen = !d.hasEnded();
            EXPECT_EQ(Field(d, 1005), "2"); // the size it had
            sim().click(*d.item<pf::Button>(2));
        });
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(LastBox(), WorldTextOf(kIdsScaleTarget));
        EXPECT_NEAR(SizeOf(*flat)[0], 4.0f, 1e-4f);
    }

    // A node without a mesh measures nothing and scales nothing.
    SWnode* empty = AddBoxNode("empty", 1.0f, 1.0f, 1.0f);
    dynamic_cast<SWmesh*>(empty->GetGeometry())->SetLoaded(false);
    Run(empty, [&](CVTND_ToolsScaleCenterDlg& d) {
        EXPECT_EQ(Field(d, 1004), "0");
        sim().click(*d.item<pf::Button>(1013));
        sim().click(*d.item<pf::Button>(1163));
    });
}

// Manipulate shows a node scaled and centred by the tool, on its own or with the whole scene (the root passes the
// change to its children), and its Set then keeps what the tool made.
TEST_F(ScaleCenter, ManipulateShowsWhatTheToolMadeAndItsSetKeepsIt)
{
    SWnode* node = AddBoxNode("crate", 2.0f, 1.0f, 0.5f);
    pf::Window host;
    ASSERT_TRUE(host.create({"", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(600, 300, 280, 280)}));
    auto panel = std::make_unique<CVTND_ManipulateDlg>(*app);
    ASSERT_TRUE(panel->CreateIn(host, pf::Rect::fromXywh(0, 0, 280, 280)));
    sim().pump();
    panel->SelectNode(CVTND_Object(node), true);
    designertest::ExpectShowsPose(*panel, *SWobjectnode::FromNode(node));
    for (SWnode* subject : {node, World().GetRootNode()}) {
        SCOPED_TRACE(subject == node ? "the node" : "the scene");
        const SWmatrix before = SWobjectnode::FromNode(node)->GetInitialMatrix();
        Run(subject, [&](CVTND_ToolsScaleCenterDlg& d) {
            sim().click(*d.item<pf::Button>(1013));
            sim().replaceText(*d.item<pf::Edit>(1004), subject == node ? "4" : "8");
            sim().click(*d.item<pf::Button>(1163));
        });
        const SWmatrix made = SWobjectnode::FromNode(node)->GetInitialMatrix();
        ASSERT_NE(made, before);
        designertest::ExpectShowsPose(*panel, *SWobjectnode::FromNode(node));
        sim().click(*panel->child(panel_ids::kSet));
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(SWobjectnode::FromNode(node)->GetInitialMatrix()[i], made[i], 1e-3f) << i;
    }
    panel->destroy();
}

} // namespace
} // namespace editorstest
