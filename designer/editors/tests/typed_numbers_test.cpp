// Every number field that takes what is typed at each keystroke, typed into as a person would with text no field can
// keep: nothing non-finite or outside the field's range is ever stored, and the field ends showing what is stored.
// (The fields read when their dialog's OK is pressed, the timer's, the condition's and Preferences', are tested with
// their dialogs.)
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "designer/editors/arcball_dlg.h"
#include "designer/editors/controller_editor.h"
#include "designer/editors/designer_tooltip.h"
#include "designer/editors/details_material_dlg.h"
#include "designer/editors/details_particles_dlg.h"
#include "designer/editors/details_tooltip_dlg.h"
#include "designer/editors/random_generator_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/editors/trackball_dlg.h"
#include "designer/workspace/display_units.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/gradient.h"
#include "designer/workspace/rgb_channel_scroll.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/control_channel.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"

namespace editorstest {
namespace {

using TypedNumbers = EditorsFixture;

// The readers under every field: from_chars takes "nan" and "inf", and a double beyond a float cannot be converted.
TEST(TypedNumberReaders, NoNaNInfinityOrFloatOverflowIsRead)
{
    for (const char* text : {"nan", "inf", "-inf", "NAN"}) {
        EXPECT_FALSE(ParseLeading<double>(text).has_value()) << text;
        EXPECT_FALSE(ParseLeading<float>(text).has_value()) << text;
    }
    EXPECT_EQ(ParseLeading<double>(" +12x"), 12.0);
    EXPECT_EQ(ReadNumber<double>("1e40"), 0.0f);
    EXPECT_EQ(ReadNumber<double>("-1e39"), 0.0f);
    EXPECT_EQ(ReadNumber<double>("3.5"), 3.5f);
    const struct {
        const char* text;
        TypedKind kind;
    } cases[] = {{" +12 ", TypedKind::kNumber},   {"-", TypedKind::kUnfinished}, {"1e", TypedKind::kUnfinished},
                 {"1e+", TypedKind::kUnfinished}, {".", TypedKind::kUnfinished}, {"12x", TypedKind::kRefused},
                 {"", TypedKind::kRefused},       {"1e40", TypedKind::kRefused}, {"nan", TypedKind::kRefused},
                 {"--1", TypedKind::kRefused}};
    for (const auto& c : cases)
        EXPECT_EQ(ReadTypedNumber(c.text, -1e30, 1e30).kind, c.kind) << c.text;
    EXPECT_EQ(ReadTypedNumber("-", 0.0, 1.0).kind, TypedKind::kRefused) << "no number of the field starts so";
}

// One field: where it is, what it stores (in the units it shows) and the range it keeps.
struct NumberField {
    std::string name;
    std::function<pf::Window*()> field;
    std::function<double()> stored;
    double low, high;
};

TEST_F(TypedNumbers, NoFieldStoresWhatItCannotKeepAndEachShowsWhatIsStored)
{
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
          std::tuple{"tooltip fade-out", 1181, std::function<double()>([&] { return tip->fadeOut; }), 1e9}})
        fields.push_back({name, [=] { return tooltips->child(id); }, stored, 0.0, high});
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
        fields.push_back({"key-frame time " + std::to_string(id), [=] { return player->CurrentPage()->child(id); },
                          [=] { return static_cast<double>((frames->*time)()); }, -3.4e38, 3.4e38});
    }
    for (int axis = 0; axis < 3; ++axis)
        fields.push_back({"arcball sensitivity " + std::to_string(axis), [=] { return spinner->child(1344 + axis); },
                          [=] { return spin->GetAxisSpeeds()[static_cast<size_t>(axis)] * 100.0; }, -3.4e40, 3.4e40});
    const SWcontrolchannel& turn = trackball->Page(0)->Channel(); // rotate Y: its limits are typed in degrees
    for (const auto& [id, stored] :
         {std::pair{1120, std::function<double()>([&] { return turn.GetScale() * 100.0; })},
          std::pair{1122, std::function<double()>([&] { return turn.GetMinimum() * 57.29578; })},
          std::pair{1121, std::function<double()>([&] { return turn.GetMaximum() * 57.29578; })},
          std::pair{1171, std::function<double()>([&] { return turn.GetMomentumTime(); })}})
        fields.push_back({"trackball " + std::to_string(id), [=] { return trackball->Page(0)->child(id); }, stored,
                          -3.4e38, 3.4e38});
    for (const auto& [id, bound] : {std::pair{CVTND_RandomGeneratorDlg::kIdLowest, &SWrandomgenerator::GetMinimum},
                                    std::pair{CVTND_RandomGeneratorDlg::kIdHighest, &SWrandomgenerator::GetMaximum}})
        fields.push_back({"random " + std::to_string(id), [=] { return random->child(id); },
                          [=] { return static_cast<double>(ToDisplayUnits(1, (randomness->*bound)())); }, -3.4e38,
                          3.4e38});
    for (const auto& [id, get, low] : {std::tuple{1181, &SWpolynomialgenerator::GetShape, 0.0},
                                       std::tuple{1182, &SWpolynomialgenerator::GetAmplitude, -3.4e38},
                                       std::tuple{1183, &SWpolynomialgenerator::GetOffset, -3.4e38}})
        fields.push_back({"polynomial " + std::to_string(id), [=] { return polynomial->child(id); },
                          [=] {
                              const float kept = (shaped->*get)();
                              return static_cast<double>(id == 1181 ? kept : ToDisplayUnits(1, kept));
                          },
                          low, 3.4e38});
    using Wave = SWwaveformgenerator;
    for (const auto& [id, get, scaled, low, high] :
         {std::tuple{1004, &Wave::GetStartTime, false, -3.4e38, 3.4e38},
          std::tuple{1172, &Wave::GetStartAmplitude, true, -3.4e38, 3.4e38},
          std::tuple{1174, &Wave::GetSustainTime, false, -3.4e38, 3.4e38},
          std::tuple{1176, &Wave::GetSustainAmplitude, true, -3.4e38, 3.4e38},
          std::tuple{1177, &Wave::GetDecayTime, false, -3.4e38, 3.4e38},
          std::tuple{1179, &Wave::GetDecayAmplitude, true, -3.4e38, 3.4e38},
          std::tuple{1181, &Wave::GetOffset, false, -3.4e38, 3.4e38},
          std::tuple{1182, &Wave::GetPeriod, false, 1.0, 3.4e38},
          std::tuple{1183, &Wave::GetPhase, false, -180.0, 180.0},
          std::tuple{1184, &Wave::GetEndPeriod, false, 1.0, 3.4e38}})
        fields.push_back({"waveform " + std::to_string(id), [=] { return waveform->child(id); },
                          [=] {
                              const float kept = (waving->*get)();
                              return static_cast<double>(scaled ? ToDisplayUnits(1, kept) : kept);
                          },
                          low, high});
    for (const size_t c : {0u, 1u, 2u})
        fields.push_back({"key colour " + std::to_string(c),
                          [=] { return emitter->child(1044 + static_cast<int32_t>(c)); },
                          [&gradient, c] { return static_cast<double>(gradient.GetKeyRGB()[c]); }, 0.0, 255.0});
    for (const int32_t id : {1049, 1050, 1051}) {
        auto* channel = materials->Page().item<CVTND_RGBChannelScroll>(id);
        ASSERT_NE(channel, nullptr);
        fields.push_back({"channel " + std::to_string(id), [=] { return channel->GetEdit(); },
                          [=] { return std::trunc(static_cast<double>(channel->GetValue()) * 255.0); }, 0.0, 255.0});
    }

    for (const NumberField& f : fields) {
        for (const char* text : {"12", "nan", "inf", "-inf", "1e40", "-1", "abc", "2147483600", ""}) {
            SCOPED_TRACE(f.name + " typed \"" + text + "\"");
            pf::Window* field = f.field();
            ASSERT_NE(field, nullptr);
            ui().setFocus(field->hwnd()); // the editors overlap: a click could land on another
            sim().replaceText(*field, text);
            sim().pump();
            const double kept = f.stored();
            EXPECT_TRUE(std::isfinite(kept) && kept >= f.low && kept <= f.high) << kept;
            if (std::string(text) == "12") {
                EXPECT_NEAR(kept, 12.0, 1e-4) << "the field takes typing";
            }
            const TypedNumber shown = ReadTypedNumber(field->getText(), -3.4e38, 3.4e38);
            ASSERT_EQ(shown.kind, TypedKind::kNumber) << field->getText();
            EXPECT_NEAR(shown.value, kept, std::abs(kept) * 1e-5) << field->getText();
        }
    }
}

} // namespace
} // namespace editorstest
