// The property dialog as the Properties panel runs it: adding, casting (with the component dialog), editing, and
// every refusal (no list, another list than the source's, a duplicate, a pair of types that makes no sense).
#include <functional>
#include <memory>
#include <string>

#include "designer/app/registry.h"
#include "designer/editors/add_property_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/editors/world_texts.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/node.h"
#include "engine/core/quaternion.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/vector.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"

namespace editorstest {
namespace {

class AddProperty : public EditorsFixture {
protected:
    int32_t Run(CVTND_Object owner, SWproperty* property, PropertyDialogMode mode,
                std::function<void(CVTND_AddPropertyDlg&)> script)
    {
        sim().onModal(CVTND_AddPropertyDlg::kIdd,
                      [&](pf::Dialog& d) { script(dynamic_cast<CVTND_AddPropertyDlg&>(d)); });
        CVTND_ModalRequest request;
        request.subject = owner;
        request.property = property;
        request.propertyMode = mode;
        return CVTND_Registry::FindModalTool(ModalTool::kAddProperty)(*app, request);
    }
    void AddNamed(CVTND_AddPropertyDlg& d, const char* name, int32_t radio = 0)
    {
        sim().replaceText(*d.item<pf::Edit>(1028), name);
        if (radio != 0)
            sim().click(*d.item<pf::Button>(radio));
        sim().click(*d.item<pf::Button>(1026));
    }
};

TEST_F(AddProperty, AddsANamedPropertyWithItsInitialValueAndStaysOpen)
{
    SWnode* node = sample->object;
    Run(CVTND_Object(node), nullptr, PropertyDialogMode::kAdd, [&](CVTND_AddPropertyDlg& d) {
        EXPECT_EQ(d.ShownPage(), d.PageOfType(kTypeFloat));
        AddNamed(d, "speed");
        EXPECT_EQ(d.child(1028)->getText(), "");
        EXPECT_FALSE(d.hasEnded());
        sim().expectMessageBox(pf::IDOK);
        AddNamed(d, "speed"); // the same name, the same case
        EXPECT_EQ(LastBox(), WorldTextOf(kIdsPropertyUniqueName));
        AddNamed(d, "Speed");
        sim().replaceText(*d.item<pf::Edit>(1028), "turn");
        sim().click(*d.item<pf::Button>(1018));
        ASSERT_EQ(d.ShownPage(), d.PageOfType(kTypeQuaternion));
        sim().replaceText(*d.ShownPage()->item<pf::Edit>(1174), "0.5");
        sim().click(*d.item<pf::Button>(1026));
        sim().click(*d.item<pf::Button>(1027));
    });
    SWproperty* speed = node->FindVariable("speed");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->GetType(), kTypeFloat);
    EXPECT_EQ(speed->GetAsFloat(), 0.0f);
    EXPECT_NE(node->FindVariable("Speed"), nullptr);
    ASSERT_NE(node->FindVariable("turn"), nullptr);
    EXPECT_FLOAT_EQ(node->FindVariable("turn")->GetAsQuaternion().w, 0.5f);
    EXPECT_EQ(recorder->Count(1), 3u);
    EXPECT_EQ(recorder->Events().front().subject.GetType(), static_cast<uint16_t>(ObjectType::kProperty));
}

// A name is refused, with its reason, where an expression could not name it: "object.property" is read up to a
// bracket or an operator, and a second dot is an error in it.
TEST_F(AddProperty, ANameNoExpressionCanReachIsRefused)
{
    SWnode* node = sample->object;
    const std::string object = node->GetName().value_or("");
    Run(CVTND_Object(node), nullptr, PropertyDialogMode::kAdd, [&](CVTND_AddPropertyDlg& d) {
        for (const char* name : {"my var.x", "a(b", "a)b", "a+b", "a-b", "x*2", "a/b"}) {
            sim().expectMessageBox(pf::IDOK);
            AddNamed(d, name);
            EXPECT_EQ(LastBox(), WorldTextOf(kIdsPropertyReachableName)) << name;
            EXPECT_EQ(node->FindVariable(name), nullptr) << name;
        }
        AddNamed(d, "my var");
        sim().click(*d.item<pf::Button>(1027));
    });
    int code = -1;
    EXPECT_NE(SWexpression::CompileExpression(&World(), object + ".my var*2", code), nullptr);
    EXPECT_EQ(code, SWexpression::kCodeOk);
    // What the refusal spares: such a name, had it been taken, no expression reaches.
    auto unreachable = std::make_unique<SWproperty>(kTypeFloat);
    unreachable->SetName(std::string("my var.x"));
    ASSERT_NE(node->AddVariable(std::move(unreachable)), nullptr);
    SWexpression::CompileExpression(&World(), object + ".my var.x*2", code);
    EXPECT_NE(code, SWexpression::kCodeOk);
}

TEST_F(AddProperty, CastsFollowTheTableAndAskForAComponent)
{
    EXPECT_EQ(CVTND_AddPropertyDlg::CastRule(kTypeVector, kTypeFloat), 2);
    EXPECT_EQ(CVTND_AddPropertyDlg::CastRule(kTypeFloat, kTypeVector), 0);
    EXPECT_EQ(CVTND_AddPropertyDlg::CastRule(kTypeMatrix, kTypeQuaternion), 1);
    EXPECT_EQ(CVTND_AddPropertyDlg::CastRule(kTypeString, kTypeString), 0);
    SWnode* node = sample->object;
    SWproperty* place = node->AddVariable(std::make_unique<SWproperty>(kTypeVector));
    place->SetName(std::string("place"));
    place->AssignVector(1.0f, 2.0f, 3.0f);
    bool wEnabled = true;
    sim().onModal(193, [&](pf::Dialog& c) {
        wEnabled = c.child(1015)->isEnabled();
        sim().click(*c.item<pf::Button>(1013)); // Y
        sim().click(*c.item<pf::Button>(pf::IDOK));
    });
    Run(CVTND_Object(node), place, PropertyDialogMode::kCast, [&](CVTND_AddPropertyDlg& d) {
        EXPECT_EQ(d.ShownPage(), nullptr);
        AddNamed(d, "height"); // float, the default
        sim().expectMessageBox(pf::IDOK);
        AddNamed(d, "where", 1024); // vector from vector: refused
        EXPECT_EQ(LastBox(), WorldTextOf(kIdsPropertyInconsistent));
        sim().click(*d.item<pf::Button>(1027));
    });
    EXPECT_FALSE(wEnabled);
    SWproperty* height = node->FindVariable("height");
    ASSERT_NE(height, nullptr);
    EXPECT_TRUE(height->IsBound());
    EXPECT_EQ(height->GetIndex(), 1);
    EXPECT_FLOAT_EQ(height->GetAsFloat(), 2.0f);
    EXPECT_EQ(node->FindVariable("where"), nullptr);
}

// Edited, a value goes over to the type chosen; the component dialog's Cancel makes no cast and ends nothing.
TEST_F(AddProperty, ATypeChangeCarriesTheValueAndACancelledComponentCastsNothing)
{
    SWnode* node = sample->object;
    SWproperty* level = node->AddVariable(std::make_unique<SWproperty>(kTypeFloat));
    level->SetName(std::string("level"));
    level->AssignFloat(2.5f);
    std::string asString;
    Run(CVTND_Object(node), level, PropertyDialogMode::kEdit, [&](CVTND_AddPropertyDlg& d) {
        sim().click(*d.item<pf::Button>(1021)); // string
        asString = d.ShownPage()->child(1004)->getText();
        sim().click(*d.item<pf::Button>(1017)); // integer
        EXPECT_EQ(d.ShownPage()->child(1004)->getText(), "2");
        sim().click(*d.item<pf::Button>(1034));
    });
    EXPECT_EQ(asString, "2.5");
    EXPECT_EQ(level->GetType(), kTypeInteger);
    EXPECT_EQ(level->GetAsInt(), 2);

    SWproperty* place = node->AddVariable(std::make_unique<SWproperty>(kTypeVector));
    place->SetName(std::string("place"));
    sim().onModal(193, [&](pf::Dialog& c) {
        ASSERT_NE(c.item<pf::Button>(pf::IDCANCEL), nullptr);
        sim().click(*c.item<pf::Button>(pf::IDCANCEL));
    });
    bool open = false;
    Run(CVTND_Object(node), place, PropertyDialogMode::kCast, [&](CVTND_AddPropertyDlg& d) {
        AddNamed(d, "height");
        open = !d.hasEnded();
        sim().click(*d.item<pf::Button>(1027));
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(node->FindVariable("height"), nullptr);
}

TEST_F(AddProperty, WithoutTheSourcesListNothingIsMade)
{
    SWnode* node = sample->object;
    SWproperty* source = node->AddVariable(std::make_unique<SWproperty>(kTypeFloat));
    source->SetName(std::string("level"));
    const size_t before = sample->otherObject->CountVariables();
    for (const CVTND_Object& owner : {CVTND_Object(), CVTND_Object(sample->material), CVTND_Object(sample->otherObject),
                                      CVTND_Object(ObjectType::kLayer, sample->material)}) {
        Run(owner, source, PropertyDialogMode::kCast, [&](CVTND_AddPropertyDlg& d) {
            sim().expectMessageBox(pf::IDOK);
            AddNamed(d, "copy", 1017);
            EXPECT_EQ(LastBox(), WorldTextOf(kIdsPropertyNoOwner));
            sim().click(*d.item<pf::Button>(1027));
        });
    }
    EXPECT_EQ(sample->otherObject->CountVariables(), before);
    EXPECT_EQ(node->FindVariable("copy"), nullptr);
    // The source's node goes; nothing elsewhere still reads through it (ASan).
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(node), CVTNDesignerApp::kDeleteFromKey));
}

TEST_F(AddProperty, EditingKeepsTheTypedValueAsTheInitialOneAndNeverWritesThroughABinding)
{
    SWnode* node = sample->object;
    SWproperty* count = node->AddVariable(std::make_unique<SWproperty>(kTypeFloat));
    count->SetName(std::string("count"));
    Run(CVTND_Object(node), count, PropertyDialogMode::kEdit, [&](CVTND_AddPropertyDlg& d) {
        EXPECT_FALSE(d.child(1028)->isEnabled());
        EXPECT_FALSE(d.child(1026)->isVisible());
        sim().click(*d.item<pf::Button>(1017)); // integer
        sim().replaceText(*d.ShownPage()->item<pf::Edit>(1004), "7");
        sim().click(*d.item<pf::Button>(1034));
    });
    EXPECT_EQ(count->GetType(), kTypeInteger);
    count->AssignInt(3);
    count->ResetToInitial();
    EXPECT_EQ(count->GetAsInt(), 7); // the initial value is what was typed

    SWproperty* bound = node->AddVariable(std::make_unique<SWproperty>(kTypeInteger, *count, 0));
    bound->SetName(std::string("alias"));
    Run(CVTND_Object(node), bound, PropertyDialogMode::kEdit, [&](CVTND_AddPropertyDlg& d) {
        ASSERT_NE(d.ShownPage(), nullptr);
        EXPECT_FALSE(d.ShownPage()->child(1004)->isEnabled());
        sim().click(*d.item<pf::Button>(1034));
    });
    EXPECT_EQ(count->GetAsInt(), 7);
    EXPECT_TRUE(bound->IsBound());

    count->SetFlags(SWproperty::kFlagBuiltIn, true); // name and type fixed: only the value is edited
    Run(CVTND_Object(node), count, PropertyDialogMode::kEdit, [&](CVTND_AddPropertyDlg& d) {
        for (const int32_t radio : {1023, 1024, 1017, 1018, 1019, 1021})
            EXPECT_FALSE(d.child(radio)->isEnabled()) << radio;
        EXPECT_TRUE(d.ShownPage()->child(1004)->isEnabled());
        sim().click(*d.item<pf::Button>(1034));
    });
}

} // namespace
} // namespace editorstest
