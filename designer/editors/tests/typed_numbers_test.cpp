// Every number field of the object editors and tools, typed into as a person would with text no field can keep:
// nothing non-finite or outside the field's range is ever stored, the field ends showing what is stored, and the
// refusal is said. (The timer's, the condition's and Preferences' fields are tested with their dialogs, the event
// editors' in their own table.)
#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "designer/app/node_placement.h"
#include "designer/app/project.h"
#include "designer/app/registry.h"
#include "designer/editors/add_property_dlg.h"
#include "designer/editors/arcball_dlg.h"
#include "designer/editors/controller_editor.h"
#include "designer/editors/designer_tooltip.h"
#include "designer/editors/details_material_dlg.h"
#include "designer/editors/details_particles_dlg.h"
#include "designer/editors/details_tooltip_dlg.h"
#include "designer/editors/details_world_dlg.h"
#include "designer/editors/random_generator_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/editors/tools_scale_center_dlg.h"
#include "designer/editors/trackball_dlg.h"
#include "designer/workspace/display_units.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/gradient.h"
#include "designer/workspace/rgb_channel_scroll.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/control_channel.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/bbox.h"
#include "engine/core/data_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/quaternion.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/vector.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/frame/frame_window.h"
#include "testsupport/designer/number_fields.h"

namespace editorstest {
namespace {

using TypedNumbers = EditorsFixture;

// The reader under every field: from_chars takes "nan" and "inf", and a double beyond a float cannot be converted.
TEST(TypedNumberReaders, NoNaNInfinityOrFloatOverflowIsRead)
{
    for (const char* text : {"nan", "inf", "-inf", "NAN", "1e39"})
        EXPECT_EQ(ReadTypedNumber(text, -3.4e38, 3.4e38).kind, TypedKind::kRefused) << text;
    const struct {
        const char* text;
        TypedKind kind;
    } cases[] = {{" +12 ", TypedKind::kNumber},   {"-", TypedKind::kUnfinished}, {"1e", TypedKind::kUnfinished},
                 {"1e+", TypedKind::kUnfinished}, {".", TypedKind::kUnfinished}, {"12x", TypedKind::kRefused},
                 {"", TypedKind::kUnfinished},    {"1e40", TypedKind::kRefused}, {"nan", TypedKind::kRefused},
                 {"--1", TypedKind::kRefused},    {"+", TypedKind::kUnfinished}, {"+-1", TypedKind::kRefused},
                 {"5-", TypedKind::kRefused},     {"1-2", TypedKind::kRefused},  {" 3", TypedKind::kNumber}};
    for (const auto& c : cases)
        EXPECT_EQ(ReadTypedNumber(c.text, -1e30, 1e30).kind, c.kind) << c.text;
    // A sign is a start even where no number of the field has one: "-1" is refused whole, not taken as 1.
    EXPECT_EQ(ReadTypedNumber("-", 0.0, 1.0).kind, TypedKind::kUnfinished);
    EXPECT_EQ(ReadTypedNumber("-1", 0.0, 1.0).kind, TypedKind::kRefused);
}

using designertest::NumberField;

TEST_F(TypedNumbers, NoFieldStoresWhatItCannotKeepAndEachShowsWhatIsStored)
{
    // A main window whose status bar the fields report on, gone before the editors are.
    pf::FrameWindow frame;
    ASSERT_TRUE(frame.createFrame("Vortan", pf::Rect::fromXywh(0, 0, 1100, 800), 0, pf::WS_VISIBLE));
    ASSERT_TRUE(frame.createStatusBar({600, -1}));
    app->SetMainFrame(&frame);
    struct Unset {
        CVTNDesignerApp& app;
        ~Unset() { app.SetMainFrame(nullptr); }
    } unset{*app};
    auto mesh = std::make_unique<SWmeshobject>(); // a box 2 x 1 x 0.5 metres
    std::vector<float> corners;
    for (int i = 0; i < 8; ++i)
        for (const float half : {1.0f, 0.5f, 0.25f})
            corners.push_back((i >> (corners.size() % 3) & 1) != 0 ? half : -half);
    mesh->SetVertices(std::move(corners));
    mesh->SetLoaded(true);
    mesh->ComputeBoundingBox();
    auto* crate = new SWmeshnode;
    crate->SetName(std::string("crate"));
    World().AddNode(crate, nullptr);
    crate->SetGeometry(World().GetRootObject()->AddGeometry(std::move(mesh)));
    World().UpdateNodeTransforms(World().GetRootNode(), 0);
    CVTND_CreateRequest request;
    request.name = "tip";
    auto* tip =
        static_cast<VTND_ToolTip*>(app->GetObjectsFactory().CreateObject(ObjectType::kTooltip, request).GetObject());
    auto* tooltips = Open<CVTND_DetailsTooltipDlg>(CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(tip)));
    ASSERT_NE(tooltips, nullptr);
    sim().click(*tooltips->child(1363)); // a fixed position: X and Y take typing
    SWactionnode* rotate = sample->AddAction(*sample->timer, 41);
    auto* motion = dynamic_cast<SWxyzmotion*>(rotate->GetMotion());
    ASSERT_NE(motion, nullptr);
    auto* controller = Open<CVTND_ActionControllerDlg>(CVTND_Object(rotate));
    ASSERT_NE(controller, nullptr);
    SWactionnode* play = sample->AddAction(*sample->timer, 44);
    play->AddArgument(sample->object->GetName()->c_str(), SWdatanode::kString, true);
    auto* frames = dynamic_cast<SWkeyframemotion*>(play->GetMotion());
    ASSERT_NE(frames, nullptr);
    auto* player = Open<CVTND_ActionControllerDlg>(CVTND_Object(play));
    ASSERT_NE(player, nullptr);
    SWactionnode* arcball = sample->AddAction(*sample->timer, 45);
    auto* spin = dynamic_cast<SWarcballmotion*>(arcball->GetMotion());
    ASSERT_NE(spin, nullptr);
    auto* spinner = Open<CVTND_ControllerMotionArcballDlg>(CVTND_Object(arcball));
    ASSERT_NE(spinner, nullptr);
    auto* trackball = Open<CVTND_TrackballDlg>(CVTND_Object(sample->AddAction(*sample->timer, 63)));
    ASSERT_NE(trackball, nullptr);
    CVTND_Object particles;
    particles.InitFromNode(sample->particles);
    auto* emitter = Open<CVTND_DetailsParticlesDlg>(particles);
    ASSERT_NE(emitter, nullptr);
    // A value's generator menu, chosen twice: the kind made, then its dialog opened.
    const auto generated = [&](int32_t value, uint8_t kind, CVTND_ValueGenerator::DialogSlot slot) {
        auto* editor = dynamic_cast<CVTND_ValueGenerator*>(emitter->child(value));
        EXPECT_NE(editor, nullptr);
        editor->SetAnimated(true);
        sim().pump();
        for (int i = 0; i < 2; ++i) {
            sim().expectMenu(CVTND_ValueGenerator::kMenuCommandBase + kind);
            sim().click(*editor->GetButton());
            sim().pump();
        }
        return std::pair{editor->GetDialog(slot), editor->GetGenerator()};
    };
    const auto [random, wobble] = generated(1022, SWgenerator::kRandom, CVTND_ValueGenerator::DialogSlot::kRandom);
    ASSERT_NE(random, nullptr);
    const auto [polynomial, curve] =
        generated(1021, SWgenerator::kPolynomial, CVTND_ValueGenerator::DialogSlot::kPolynomial);
    ASSERT_NE(polynomial, nullptr);
    auto* shaped = dynamic_cast<SWpolynomialgenerator*>(curve);
    ASSERT_NE(shaped, nullptr);
    const auto [waveform, wave] = generated(1031, SWgenerator::kSine, CVTND_ValueGenerator::DialogSlot::kWaveform);
    ASSERT_NE(waveform, nullptr);
    auto* waving = dynamic_cast<SWwaveformgenerator*>(wave);
    ASSERT_NE(waving, nullptr);
    auto* randomness = dynamic_cast<SWrandomgenerator*>(wobble);
    ASSERT_NE(randomness, nullptr);
    CVTND_Gradient& gradient = *emitter->Gradient(); // a key selected: its colour takes typing
    sim().click(gradient, {gradient.GetFields().keyPositions[1], gradient.BandRect().b - 2});
    sim().pump();
    ASSERT_TRUE(gradient.HasSelectedKey());
    auto* materials = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(sample->material));
    ASSERT_NE(materials, nullptr);

    std::vector<NumberField> fields;
    float x = 0, y = 0;
    const auto position = [&](bool first) {
        tip->GetPosition(x, y);
        return static_cast<double>(first ? x : y);
    };
    for (const auto& [name, id, stored, high] :
         {std::tuple{"tooltip margin", 1172, std::function<double()>([&] { return tip->hMargin; }), 2047.0},
          std::tuple{"tooltip margin", 1173, std::function<double()>([&] { return tip->vMargin; }), 2047.0},
          std::tuple{"tooltip x", 1174, std::function<double()>([&] { return position(true); }), 1e6},
          std::tuple{"tooltip y", 1176, std::function<double()>([&] { return position(false); }), 1e6},
          std::tuple{"tooltip delay", 1178, std::function<double()>([&] { return tip->delay; }), 1e9},
          std::tuple{"tooltip fade-in", 1180, std::function<double()>([&] { return tip->fadeIn; }), 1e9},
          std::tuple{"tooltip fade-out", 1181, std::function<double()>([&] { return tip->fadeOut; }), 1e9}}) {
        fields.push_back({name, [=, id = id] { return tooltips->child(id); }, stored, 0.0, high});
        fields.back().whole = high < 1e9; // margins and positions are whole pixels
    }
    for (int axis = 0; axis < 3; ++axis) {
        auto* value = dynamic_cast<CVTND_ValueGenerator*>(controller->CurrentPage()->child(1004 + axis));
        ASSERT_NE(value, nullptr);
        const auto amount = [=] {
            const auto* track = dynamic_cast<const SWaxistrack*>(motion->GetGenerator(axis));
            return static_cast<double>(ToDisplayUnits(1, track != nullptr ? track->GetAmount() : 0.0f));
        };
        fields.push_back(
            {"rotation " + std::to_string(axis), [=] { return value->GetEdit(); }, amount, -3.4e38, 3.4e38});
    }
    for (const auto& [id, time] :
         {std::pair{1258, &SWkeyframemotion::GetBlendTime}, std::pair{1206, &SWkeyframemotion::GetExplicitDuration}}) {
        fields.push_back({"key-frame time " + std::to_string(id),
                          [=, id = id] { return player->CurrentPage()->child(id); },
                          [=, time = time] { return static_cast<double>((frames->*time)()); }, 0.0, 3.4e38});
    }
    // The frames beside the bars, from 0 to the animation's last.
    const double lastFrame = std::max(0, player->frameLimit);
    for (const auto& [id, frame] :
         {std::pair{1079, &SWkeyframemotion::GetStartFrame}, std::pair{1082, &SWkeyframemotion::GetEndFrame}}) {
        fields.push_back({"key-frame frame " + std::to_string(id),
                          [=, id = id] { return player->CurrentPage()->child(id); },
                          [=, frame = frame] { return static_cast<double>((frames->*frame)()); }, 0.0, lastFrame});
        fields.back().whole = true;
    }
    for (int axis = 0; axis < 3; ++axis) {
        fields.push_back({"arcball sensitivity " + std::to_string(axis), [=] { return spinner->child(1344 + axis); },
                          [=] { return spin->GetAxisSpeeds()[static_cast<size_t>(axis)] * 100.0; }, -3.4e40, 3.4e40});
        fields.back().digitsOnly = true;
    }
    const SWcontrolchannel& turn = trackball->Page(0)->Channel(); // rotate Y: its limits are typed in degrees
    for (const auto& [id, stored] :
         {std::pair{1120, std::function<double()>([&] { return turn.GetScale() * 100.0; })},
          std::pair{1122, std::function<double()>([&] { return turn.GetMinimum() * 57.29578; })},
          std::pair{1121, std::function<double()>([&] { return turn.GetMaximum() * 57.29578; })},
          std::pair{1171, std::function<double()>([&] { return turn.GetMomentumTime(); })}})
        fields.push_back({"trackball " + std::to_string(id), [=, id = id] { return trackball->Page(0)->child(id); },
                          stored, -3.4e38, 3.4e38});
    for (const auto& [id, bound] : {std::pair{CVTND_RandomGeneratorDlg::kIdLowest, &SWrandomgenerator::GetMinimum},
                                    std::pair{CVTND_RandomGeneratorDlg::kIdHighest, &SWrandomgenerator::GetMaximum}})
        fields.push_back({"random " + std::to_string(id), [=, id = id, random = random] { return random->child(id); },
                          [=, bound = bound] { return static_cast<double>(ToDisplayUnits(1, (randomness->*bound)())); },
                          -3.4e38, 3.4e38});
    for (const auto& [id, get, low] : {std::tuple{1181, &SWpolynomialgenerator::GetShape, 0.0},
                                       std::tuple{1182, &SWpolynomialgenerator::GetAmplitude, -3.4e38},
                                       std::tuple{1183, &SWpolynomialgenerator::GetOffset, -3.4e38}})
        fields.push_back({"polynomial " + std::to_string(id),
                          [=, id = id, polynomial = polynomial] { return polynomial->child(id); },
                          [=, id = id, get = get] {
                              const float kept = (shaped->*get)();
                              return static_cast<double>(id == 1181 ? kept : ToDisplayUnits(1, kept));
                          },
                          low, 3.4e38});
    using Wave = SWwaveformgenerator;
    for (const auto& [id, get, scaled, low, high] :
         {std::tuple{1004, &Wave::GetStartTime, false, 0.0, 3.4e38},
          std::tuple{1172, &Wave::GetStartAmplitude, true, -3.4e38, 3.4e38},
          std::tuple{1174, &Wave::GetSustainTime, false, 0.0, 3.4e38},
          std::tuple{1176, &Wave::GetSustainAmplitude, true, -3.4e38, 3.4e38},
          std::tuple{1177, &Wave::GetDecayTime, false, 0.0, 3.4e38},
          std::tuple{1179, &Wave::GetDecayAmplitude, true, -3.4e38, 3.4e38},
          std::tuple{1181, &Wave::GetOffset, false, -3.4e38, 3.4e38},
          std::tuple{1182, &Wave::GetPeriod, false, 1.0, 3.4e38},
          std::tuple{1183, &Wave::GetPhase, false, -180.0, 180.0},
          std::tuple{1184, &Wave::GetEndPeriod, false, 1.0, 3.4e38}})
        fields.push_back({"waveform " + std::to_string(id),
                          [=, id = id, waveform = waveform] { return waveform->child(id); },
                          [=, get = get, scaled = scaled] {
                              const float kept = (waving->*get)();
                              return static_cast<double>(scaled ? ToDisplayUnits(1, kept) : kept);
                          },
                          low, high});
    for (const size_t c : {0u, 1u, 2u}) {
        fields.push_back({"key colour " + std::to_string(c),
                          [=] { return emitter->child(1044 + static_cast<int32_t>(c)); },
                          [&gradient, c] { return static_cast<double>(gradient.GetKeyRGB()[c]); }, 0.0, 255.0});
        fields.back().digitsOnly = true;
    }
    for (const int32_t id : {1049, 1050, 1051}) {
        auto* channel = materials->Page().item<CVTND_RGBChannelScroll>(id);
        ASSERT_NE(channel, nullptr);
        fields.push_back({"channel " + std::to_string(id), [=] { return channel->GetEdit(); },
                          [=] { return std::trunc(static_cast<double>(channel->GetValue()) * 255.0); }, 0.0, 255.0});
        fields.back().whole = true;
    }

    // The fields read at a button: a property's initial value, edited; the scale tool's sizes; a loadable world's
    // reference limit.
    pf::Dialog* shown = nullptr; // the modal dialog now running
    SWnode* node = sample->object;
    const auto property = [&](uint32_t type) {
        SWproperty* made = node->AddVariable(std::make_unique<SWproperty>(type));
        made->SetName("typed " + std::to_string(type));
        return made;
    };
    SWproperty* real = property(kTypeFloat);
    SWproperty* whole = property(kTypeInteger);
    SWproperty* vector = property(kTypeVector);
    SWproperty* turn4 = property(kTypeQuaternion);
    const auto editing = [&](SWproperty* edited) {
        return [&, edited](const std::function<void()>& check) {
            sim().onModal(CVTND_AddPropertyDlg::kIdd, [&](pf::Dialog& d) {
                shown = &d;
                check();
                if (!d.hasEnded())
                    sim().keyPress(pf::VK_ESCAPE); // it has no Cancel button
            });
            CVTND_ModalRequest request;
            request.subject = CVTND_Object(node);
            request.property = edited;
            request.propertyMode = PropertyDialogMode::kEdit;
            CVTND_Registry::FindModalTool(ModalTool::kAddProperty)(*app, request);
        };
    };
    const auto pageField = [&](int32_t id) {
        return [&, id] { return static_cast<CVTND_AddPropertyDlg*>(shown)->ShownPage()->child(id); };
    };
    const auto commitEdit = [&] { sim().click(*shown->item<pf::Button>(1034)); };
    fields.push_back({"float property", pageField(1004), [=] { return static_cast<double>(real->GetAsFloat()); },
                      -3.4e38, 3.4e38, commitEdit, editing(real)});
    fields.push_back({"integer property", pageField(1004), [=] { return static_cast<double>(whole->GetAsInt()); },
                      -2147483648.0, 2147483647.0, commitEdit, editing(whole)});
    fields.back().whole = true;
    for (const int32_t id : {1004, 1172, 1173})
        fields.push_back({"vector property " + std::to_string(id), pageField(id),
                          [=] {
                              const SWvector v = vector->GetAsVector();
                              return static_cast<double>(id == 1004 ? v.x : id == 1172 ? v.y : v.z);
                          },
                          -3.4e38, 3.4e38, commitEdit, editing(vector)});
    for (const int32_t id : {1004, 1172, 1173, 1174})
        fields.push_back({"quaternion property " + std::to_string(id), pageField(id),
                          [=] {
                              const CVTN_Quaternion q = turn4->GetAsQuaternion();
                              return static_cast<double>(id == 1004 ? q.x : id == 1172 ? q.y : id == 1173 ? q.z : q.w);
                          },
                          -3.4e38, 3.4e38, commitEdit, editing(turn4)});

    bool proportions = false;
    const auto scaling = [&](const std::function<void()>& check) {
        sim().onModal(CVTND_ToolsScaleCenterDlg::kIdd, [&](pf::Dialog& d) {
            shown = &d;
            sim().click(*d.item<pf::Button>(1013)); // to sizes, each its own unless in proportion
            if (!proportions)
                sim().click(*d.item<pf::Button>(1188));
            check();
            if (!d.hasEnded())
                sim().click(*d.item<pf::Button>(pf::IDCANCEL));
        });
        CVTND_ModalRequest request;
        request.subject.InitFromNode(crate);
        CVTND_Registry::FindModalTool(ModalTool::kScaleCenter)(*app, request);
    };
    for (size_t axis = 0; axis < 3; ++axis)
        fields.push_back({"scale size " + std::to_string(axis),
                          [&, axis] { return shown->child(1004 + static_cast<int32_t>(axis)); },
                          [=] {
                              const SWbbox box = GetNodeBoundingBox(*crate, true);
                              return static_cast<double>(box.Extents()[2 * axis + 1] - box.Extents()[2 * axis]);
                          },
                          0.0, CVTND_ToolsScaleCenterDlg::kLargestSize,
                          [&] { sim().click(*shown->item<pf::Button>(1163)); }, scaling});
    // With proportions kept the other sizes follow X: X keeps the number it took, not one put back from a refusal
    // earlier in the typing ("+" of "+4").
    fields.push_back(fields.back());
    fields.back().name = "scale size 0 in proportion";
    fields.back().atEachKey = true;
    fields.back().field = [&] { return shown->child(1004); };
    fields.back().stored = [=] {
        const SWbbox box = GetNodeBoundingBox(*crate, true);
        return static_cast<double>(box.Extents()[1] - box.Extents()[0]);
    };
    fields.back().within = [&](const std::function<void()>& check) {
        proportions = true;
        scaling(check);
        proportions = false;
    };

    CVTN_SubWorld* level = sample->loadedWorld;
    level->SetReferenceLimitFlag(1);
    CVTND_DetailsWorldDlg* levelEditor = nullptr;
    fields.push_back({"reference limit", [&] { return levelEditor->child(1174); },
                      [=] { return static_cast<double>(level->GetReferenceLimit()); }, 0.0, kLargestLimit,
                      [&] { sim().click(*levelEditor->item<pf::Button>(pf::IDOK)); },
                      [&](const std::function<void()>& check) {
                          levelEditor = Open<CVTND_DetailsWorldDlg>(CVTND_Object(level));
                          ASSERT_NE(levelEditor, nullptr);
                          const pf::Hwnd handle = levelEditor->hwnd();
                          check();
                          if (ui().isWindow(handle))
                              sim().keyPress(pf::VK_ESCAPE);
                      }});
    fields.back().whole = true;

    designertest::CheckNumberFields(ui(), sim(), *frame.statusBar(), fields);

    // Each field read at a key typed over with what it refuses, then saved and reopened: the motions hold what they
    // held before, not the numbers typed on the way (a rotation kept 12345 of forty-five digits).
    std::vector<NumberField> atEachKey;
    std::copy_if(fields.begin(), fields.end(), std::back_inserter(atEachKey), [](const auto& f) { return !f.commit; });
    std::vector<double> before;
    for (const NumberField& f : atEachKey)
        before.push_back(f.stored());
    frame.statusBar()->setText(0, "");
    designertest::CheckNumberFields(
        ui(), sim(), *frame.statusBar(), atEachKey,
        {"1e40", "2147483600", designertest::kFortyFiveDigits, "-1", "1e40\b\b39", "5-", "1-2"}, true);
    for (size_t i = 0; i < atEachKey.size(); ++i)
        EXPECT_EQ(atEachKey[i].stored(), before[i]) << atEachKey[i].name;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    const CVTND_Project::LoadResult reopened = CVTND_Project::LoadBytes(bytes, "typed");
    ASSERT_TRUE(reopened.ok());
    const auto motionOf = [&](int32_t kind) -> const SWmotion* {
        for (SWevent* e = reopened.world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
                if (a->GetKindId() == kind)
                    return a->GetMotion();
        return nullptr;
    };
    const auto* rotated = dynamic_cast<const SWxyzmotion*>(motionOf(41));
    const auto* played = dynamic_cast<const SWkeyframemotion*>(motionOf(44));
    ASSERT_NE(rotated, nullptr);
    ASSERT_NE(played, nullptr);
    for (int axis = 0; axis < 3; ++axis) {
        const auto* kept = dynamic_cast<const SWaxistrack*>(rotated->GetGenerator(axis));
        const auto* typed = dynamic_cast<const SWaxistrack*>(motion->GetGenerator(axis));
        ASSERT_EQ(kept != nullptr, typed != nullptr) << axis;
        if (kept != nullptr) {
            EXPECT_EQ(kept->GetAmount(), typed->GetAmount()) << axis;
        }
    }
    EXPECT_EQ(played->GetBlendTime(), frames->GetBlendTime());
    EXPECT_EQ(played->GetExplicitDuration(), frames->GetExplicitDuration());
    EXPECT_EQ(played->GetStartFrame(), frames->GetStartFrame());
    EXPECT_EQ(played->GetEndFrame(), frames->GetEndFrame());
    CloseEditors();
}

} // namespace
} // namespace editorstest
