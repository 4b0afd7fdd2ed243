// The value editor of animatable values: units, typing, the generator menu, and the generator dialogs it opens, for
// an XYZ motion's axis and a particle node's parameter alike.
#include <numbers>
#include <string>
#include <tuple>

#include "designer/workspace/display_units.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/tests/workspace_fixture.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/world.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/up_down.h"

namespace {

using namespace workspace_test;
using namespace workspace_messages;

constexpr int32_t kIddGeneratorDialog = 9410;

// What the test dialogs saw, across the dialogs of one test.
struct DialogLog {
    int alive = 0;
    int made = 0;
    std::vector<int32_t> modes;
    std::vector<SWgenerator*> targets;
    std::vector<bool> slotHeldTargetAtDestroy; // the generator was still in the slot when the dialog went
};
DialogLog g_dialogs;

class TestGeneratorDialog : public CVTND_GeneratorDialog {
public:
    explicit TestGeneratorDialog(CVTND_ValueGenerator& control) : CVTND_GeneratorDialog(control)
    {
        ++g_dialogs.alive;
        ++g_dialogs.made;
    }
    ~TestGeneratorDialog() override { --g_dialogs.alive; }
    void SetMode(int32_t unit) override { g_dialogs.modes.push_back(unit); }
    void SetTarget(SWgenerator* generator) override
    {
        m_target = generator;
        g_dialogs.targets.push_back(generator);
    }
    // A keystroke in the dialog: it writes its generator, as a real one does on every change.
    void Edit()
    {
        if (m_target != nullptr)
            m_target->SetDelay(m_target->GetDelay() + 1.0f);
    }

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message == pf::WM_DESTROY)
            g_dialogs.slotHeldTargetAtDestroy.push_back(m_target != nullptr && GetControl().GetGenerator() == m_target);
        return CVTND_GeneratorDialog::handle(msg);
    }

private:
    SWgenerator* m_target = nullptr;
};

std::unique_ptr<CVTND_GeneratorDialog> MakeTestDialog(CVTND_ValueGenerator& control, pf::Window* parent)
{
    auto dialog = std::make_unique<TestGeneratorDialog>(control);
    if (!dialog->create(kIddGeneratorDialog, parent))
        return nullptr;
    return dialog;
}

enum class SlotKind { kAxis, kParticle };

class ValueEditor : public Controls, public ::testing::WithParamInterface<SlotKind> {
protected:
    void SetUp() override
    {
        Controls::SetUp();
        g_dialogs = {};
        pf::registerTemplate({kIddGeneratorDialog, "Generator", {200, 100}, pf::WS_POPUP | pf::WS_CAPTION, {}});
        for (const uint8_t type : {1, 2, 3, 4, 5, 7, 8, 9})
            previous.push_back({type, CVTND_ValueGenerator::ReplaceDialog(type, &MakeTestDialog)});
        control = &Control<CVTND_ValueGenerator>(kValue);
        control->AttachValue(Slot(), 0.75f);
    }
    void TearDown() override
    {
        host.destroy();
        EXPECT_EQ(g_dialogs.alive, 0); // destroying the control destroyed its dialogs
        for (const auto& [type, constructor] : previous)
            CVTND_ValueGenerator::ReplaceDialog(type, constructor);
        Controls::TearDown();
    }
    CVTND_GeneratorSlot Slot()
    {
        return GetParam() == SlotKind::kAxis ? CVTND_GeneratorSlot::ForAxis(motion, 1)
                                             : CVTND_GeneratorSlot::ForParticle(&world, particles, 4);
    }
    // What the owner itself holds now, read its own way.
    SWgenerator* OwnersGenerator()
    {
        if (GetParam() == SlotKind::kAxis)
            return motion.GetAxisTrackSlot(1)->get();
        const auto* held = dynamic_cast<const SWparticlegenerator*>(particles.GetGenerator(4));
        return held == nullptr ? nullptr : held->Get();
    }
    void PokeDialogs()
    {
        for (auto slot : {CVTND_ValueGenerator::DialogSlot::kWaveform, CVTND_ValueGenerator::DialogSlot::kRandom,
                          CVTND_ValueGenerator::DialogSlot::kPolynomial, CVTND_ValueGenerator::DialogSlot::kProperty})
            if (auto* dialog = static_cast<TestGeneratorDialog*>(control->GetDialog(slot)))
                dialog->Edit();
    }
    std::string Text() { return control->GetEdit()->text(); }

    SWworld world;
    SWxyzmotion motion{&world};
    SWparticlenode particles;
    CVTND_ValueGenerator* control = nullptr;
    std::vector<std::pair<uint8_t, CVTND_GeneratorDialogConstructor>> previous;
};

TEST(DisplayUnits, RoundTripsEveryUnit)
{
    const float pi = static_cast<float>(std::numbers::pi);
    EXPECT_FLOAT_EQ(ToDisplayUnits(1, pi), 180.0f);
    EXPECT_FLOAT_EQ(ToDisplayUnits(2, 0.5f), 127.5f);
    EXPECT_FLOAT_EQ(ToDisplayUnits(3, 0.25f), 25.0f);
    EXPECT_FLOAT_EQ(ToDisplayUnits(0, 7.0f), 7.0f);
    EXPECT_FLOAT_EQ(ToDisplayUnits(9, 7.0f), 7.0f);
    for (const int32_t unit : {0, 1, 2, 3, -1, 4})
        for (const float v : {0.0f, 1.0f, -2.5f, 0.123f, 1000.0f})
            EXPECT_NEAR(FromDisplayUnits(unit, ToDisplayUnits(unit, v)), v, 1e-5f * std::max(1.0f, std::abs(v)))
                << unit << " " << v;
}

TEST_P(ValueEditor, UnitsSetTheSpinRangeAndTheShownValue)
{
    control->ChooseGenerator(SWgenerator::kAxisTrack); // the particle slot starts empty
    static_cast<SWaxistrack*>(control->GetGenerator())->SetAmount(static_cast<float>(std::numbers::pi / 2));
    const struct {
        int32_t unit;
        std::pair<int32_t, int32_t> range;
        const char* text;
    } cases[] = {
        {0, {-32767, 32767}, "1.5708"},
        {1, {-360, 360}, "90"},
        {2, {0, 255}, "400.553"},
        {3, {-32767, 32767}, "157.08"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        control->SetUnit(c.unit);
        EXPECT_EQ(control->SpinRange(), c.range);
        EXPECT_EQ(control->GetSpin()->getRange32(), c.range);
        EXPECT_EQ(Text(), c.text);
    }
}

TEST_P(ValueEditor, TypingStoresTheConstantInEngineUnits)
{
    control->ChooseGenerator(SWgenerator::kAxisTrack);
    control->SetUnit(1);
    host.received.clear();
    sim().replaceText(*control->GetEdit(), "45");
    ASSERT_FALSE(host.received.empty());
    EXPECT_EQ(host.received.back().message, kValueTyped);
    EXPECT_EQ(host.received.back().wParam, static_cast<pf::WParam>(kValue));
    EXPECT_EQ(host.received.back().lParam, reinterpret_cast<pf::LParam>(control));
    auto* constant = dynamic_cast<SWaxistrack*>(OwnersGenerator());
    ASSERT_NE(constant, nullptr);
    EXPECT_NEAR(constant->GetAmount(), std::numbers::pi / 4, 1e-6);

    // The spin steps what the field holds, past its own whole-number range as well: 720 degrees went to 360.
    for (const auto& [typed, delta, shown] :
         {std::tuple{"720", 1, "721"}, {"12.5", -1, "11.5"}, {"-400", -1, "-401"}}) {
        sim().replaceText(*control->GetEdit(), typed);
        sim().spin(*control->GetSpin(), delta);
        EXPECT_EQ(Text(), shown);
        EXPECT_NEAR(dynamic_cast<SWaxistrack*>(OwnersGenerator())->GetAmount(), FromDisplayUnits(1, std::stof(shown)),
                    1e-5);
    }
}

TEST_P(ValueEditor, EmptySlotShowsTheOwnersValueUntilANumberIsTyped)
{
    if (GetParam() == SlotKind::kAxis) {
        EXPECT_EQ(Text(), "0"); // an axis always holds a generator: its constant, not the owner's value, shows
        return;
    }
    EXPECT_EQ(Text(), "0.75");
    control->SetAnimated(false); // an empty slot stays empty: opening an editor never overwrites a parameter
    EXPECT_EQ(OwnersGenerator(), nullptr);
    EXPECT_FALSE(control->GetButton()->isVisible());
    sim().replaceText(*control->GetEdit(), "2");
    EXPECT_EQ(host.Messages(), (std::vector<uint32_t>{kGeneratorReplaced, kValueTyped}));
    auto* constant = dynamic_cast<SWaxistrack*>(OwnersGenerator());
    ASSERT_NE(constant, nullptr);
    EXPECT_EQ(constant->GetAmount(), 2.0f);
}

// Typed key by key, "1e40" stored 1 and then 10000 before its refusal; a refused number now leaves the slot as it
// was before the typing, an empty one empty. A number too long for six digits shows in digits that read as it.
TEST_P(ValueEditor, ARefusedNumberLeavesTheSlotAsItWasAndALargeOneReadsAsStored)
{
    control->SetUnit(0);
    const SWgenerator* before = OwnersGenerator();
    const float amount = before != nullptr ? static_cast<const SWaxistrack*>(before)->GetAmount() : 0.0f;
    for (const char* refused : {"1e40", "123456789012345678901234567890123456789012345"}) {
        sim().replaceText(*control->GetEdit(), refused);
        ASSERT_EQ(OwnersGenerator() != nullptr, before != nullptr) << refused;
        if (before != nullptr) {
            EXPECT_EQ(static_cast<const SWaxistrack*>(OwnersGenerator())->GetAmount(), amount) << refused;
        }
        ui().setFocus(pf::kNoWindow);
    }
    control->ChooseGenerator(SWgenerator::kAxisTrack);
    static_cast<SWaxistrack*>(control->GetGenerator())->SetAmount(2147483600.0f);
    control->SetUnit(0);
    EXPECT_EQ(Text().find('e'), std::string::npos) << Text();
    EXPECT_EQ(static_cast<float>(std::stod(Text())), 2147483600.0f) << Text();
    EXPECT_EQ(FormatReal(2147483600.0f, "%.4g").find('e'), std::string::npos); // Manipulate's narrow fields
    EXPECT_EQ(static_cast<float>(std::stod(FormatReal(2147483600.0f, "%.4g"))), 2147483600.0f);
    EXPECT_EQ(FormatReal(1.5, "%.4g"), "1.5");
}

// A number taken in a spelling of its own kept that spelling after the focus left, unlike what the field shows of it
// stored.
TEST_P(ValueEditor, ANumberTypedInASpellingOfItsOwnShowsAsStoredOnceTheFocusLeaves)
{
    control->ChooseGenerator(SWgenerator::kAxisTrack);
    control->SetUnit(0);
    for (const auto& [typed, shown] : {std::pair{".5", "0.5"},
                                       {"5.", "5"},
                                       {"+5", "5"},
                                       {" 3", "3"},
                                       {"-.25", "-0.25"},
                                       {"090", "90"},
                                       {"-007.5", "-7.5"},
                                       {"00", "0"}}) {
        ui().setFocus(control->GetEdit()->hwnd());
        sim().replaceText(*control->GetEdit(), typed);
        EXPECT_EQ(Text(), typed) << "left as typed while the focus stays";
        ui().setFocus(pf::kNoWindow);
        EXPECT_EQ(Text(), shown);
        EXPECT_EQ(static_cast<const SWaxistrack*>(OwnersGenerator())->GetAmount(), std::stof(shown));
    }
}

TEST_P(ValueEditor, MenuChoiceReplacesTheGeneratorAndOpensOneDialogOnTheSecond)
{
    sim().expectMenu(CVTND_ValueGenerator::kMenuCommandBase + SWgenerator::kSine);
    sim().click(*control->GetButton());
    EXPECT_EQ(host.Messages(), (std::vector<uint32_t>{kGeneratorReplaced}));
    SWgenerator* sine = OwnersGenerator();
    ASSERT_NE(sine, nullptr);
    EXPECT_EQ(sine->GetType(), SWgenerator::kSine);
    EXPECT_EQ(Text(), "Sine");
    EXPECT_TRUE(control->GetEdit()->isReadOnly());
    EXPECT_EQ(g_dialogs.made, 0); // another kind only replaces
    control->SetUnit(3);
    sim().expectMenu(CVTND_ValueGenerator::kMenuCommandBase + SWgenerator::kSine);
    sim().click(*control->GetButton());
    EXPECT_EQ(g_dialogs.made, 1);
    EXPECT_EQ(g_dialogs.modes, (std::vector<int32_t>{3}));
    EXPECT_EQ(g_dialogs.targets, (std::vector<SWgenerator*>{sine}));
    EXPECT_TRUE(control->GetDialog(CVTND_ValueGenerator::DialogSlot::kWaveform)->isVisible());
    EXPECT_TRUE(control->ChooseGenerator(SWgenerator::kSine)); // its slot is taken: none opens
    EXPECT_EQ(g_dialogs.made, 1);
    control->SetUnit(1); // reaches the open dialog
    EXPECT_EQ(g_dialogs.modes, (std::vector<int32_t>{3, 1}));
    EXPECT_EQ(host.Count(kGeneratorReplaced), 1u);
}

// A dialog on the old generator used to keep editing it after the editor had put another in its place and deleted
// the old one: a use after free on the next keystroke.
TEST_P(ValueEditor, ReplacingTheGeneratorClosesItsDialogsFirst)
{
    control->ChooseGenerator(SWgenerator::kTriangle);
    control->ChooseGenerator(SWgenerator::kTriangle);
    ASSERT_EQ(g_dialogs.alive, 1);
    host.received.clear();
    control->ChooseGenerator(SWgenerator::kPolynomial);
    EXPECT_EQ(g_dialogs.alive, 0);
    EXPECT_EQ(g_dialogs.slotHeldTargetAtDestroy, (std::vector<bool>{true}));
    PokeDialogs();
    ASSERT_NE(OwnersGenerator(), nullptr);
    EXPECT_EQ(OwnersGenerator()->GetType(), SWgenerator::kPolynomial);
    EXPECT_EQ(control->GetGenerator(), OwnersGenerator());
    EXPECT_EQ(host.Messages(), (std::vector<uint32_t>{kGeneratorReplaced}));
    // Turning the animation off replaces the generator the same way, with a constant of its output.
    control->ChooseGenerator(SWgenerator::kPolynomial);
    ASSERT_EQ(g_dialogs.alive, 1);
    auto* polynomial = static_cast<SWpolynomialgenerator*>(OwnersGenerator());
    polynomial->SetOffset(0.5f);
    polynomial->SetTime(0.0f);
    control->SetAnimated(false);
    EXPECT_EQ(g_dialogs.alive, 0);
    PokeDialogs();
    auto* constant = dynamic_cast<SWaxistrack*>(OwnersGenerator());
    ASSERT_NE(constant, nullptr);
    EXPECT_EQ(constant->GetAmount(), 0.5f);
    EXPECT_FALSE(control->GetButton()->isVisible());
}

TEST_P(ValueEditor, DestroyingTheControlDestroysItsDialogs)
{
    control->ChooseGenerator(SWgenerator::kRandom);
    control->ChooseGenerator(SWgenerator::kRandom);
    EXPECT_EQ(g_dialogs.alive, 1);
    control->destroy();
    EXPECT_EQ(g_dialogs.alive, 0);
    EXPECT_EQ(OwnersGenerator()->GetType(), SWgenerator::kRandom);
}

TEST_P(ValueEditor, NotifyParentRefreshesTimesAndPassesTheCode)
{
    control->ChooseGenerator(SWgenerator::kAxisTrack);
    auto* constant = static_cast<SWaxistrack*>(control->GetGenerator());
    host.received.clear();
    constant->SetAmount(3.0f);
    control->NotifyParent(5); // not a time: the text stays
    EXPECT_NE(Text(), "3");
    control->NotifyParent(2);
    EXPECT_EQ(Text(), "3");
    ASSERT_EQ(host.Messages(), (std::vector<uint32_t>{kGeneratorChanged, kGeneratorChanged}));
    EXPECT_EQ(host.received[1].wParam, 2u);
    EXPECT_EQ(host.received[1].lParam, reinterpret_cast<pf::LParam>(control));
}

INSTANTIATE_TEST_SUITE_P(Slots, ValueEditor, ::testing::Values(SlotKind::kAxis, SlotKind::kParticle),
                         [](const auto& info) {
                             return info.param == SlotKind::kAxis ? "XyzAxis" : "ParticleParameter";
                         });

} // namespace
