// The catalogue of action kinds, the action factory, the action classes' copies and durations, old-file times.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/motion.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/image24.h"

namespace {

class FixedMotion : public SWnodemotion {
public:
    FixedMotion() : SWnodemotion(nullptr, 1) { m_durationMs = 1000.0f; }
};

struct Row {
    const char* category;
    int32_t id;
    bool listed;
};

// The panel's order: category, kind id, listed.
const std::vector<Row> kExpected = {
    {"object motion", 34, true},
    {"", 2, false},
    {"", 32, false},
    {"", 3, false},
    {"", 26, false},
    {"", 28, false},
    {"", 27, false},
    {"", 29, false},
    {"", 30, true},
    {"", 31, true},
    {"", 4, false},
    {"", 41, true},
    {"", 42, true},
    {"", 43, true},
    {"", 53, true},
    {"", 60, false},
    {"", 44, true},
    {"", 47, true},
    {"", 46, true},
    {"interaction", 45, true},
    {"", 63, true},
    {"", 64, true},
    {"node animation", 50, true},
    {"", 51, true},
    {"camera", 5, true},
    {"", 37, true},
    {"sound", 6, true},
    {"", 7, true},
    {"", 8, true},
    {"world", 54, true},
    {"", 55, true},
    {"", 56, true},
    {"link", 10, true},
    {"", 20, true},
    {"", 40, true},
    {"event", 11, true},
    {"", 12, true},
    {"", 13, true},
    {"", 14, true},
    {"", 15, false},
    {"", 38, false},
    {"rendering", 19, true},
    {"", 21, true},
    {"", 22, true},
    {"", 23, true},
    {"texture", 58, true},
    {"expression", 35, true},
    {"", 25, true},
    {"cursor", 39, true},
    {"particle system", 48, true},
    {"", 49, true},
};

} // namespace

TEST(ActionCatalogue, EveryRowInOrderWithCategoryAndListedByte)
{
    SWevents world;
    const SWactioncategories& catalogue = world.GetActionCategories();
    EXPECT_EQ(catalogue.CountCategories(), 13u);
    ASSERT_EQ(catalogue.CountKinds(), 51u);
    size_t row = 0;
    for (auto* c = catalogue.GetFirstCategory(); c != nullptr; c = static_cast<SWactioncategory*>(c->Next())) {
        bool first = true;
        for (auto* k = c->GetFirstKind(); k != nullptr; k = static_cast<SWactionkind*>(k->Next()), ++row) {
            SCOPED_TRACE(row);
            ASSERT_LT(row, kExpected.size());
            EXPECT_EQ(k->GetKindId(), kExpected[row].id);
            EXPECT_EQ(k->IsListed(), kExpected[row].listed);
            ASSERT_TRUE(k->GetName().has_value());
            if (first)
                EXPECT_EQ(c->GetName(), kExpected[row].category);
            else
                EXPECT_STREQ(kExpected[row].category, "");
            first = false;
        }
    }
    EXPECT_EQ(*catalogue.FindKind(2)->GetName(), "OLD Animation play");
    EXPECT_EQ(*catalogue.FindKind(38)->GetName(), "Swap two events activation");
}

TEST(ActionCatalogue, KindsWithoutARowAreNotFound)
{
    SWevents world;
    for (const int32_t id : {0, 1, 9, 16, 17, 18, 24, 33, 36, 52, 57, 59, 61, 62, 65, -1})
        EXPECT_EQ(world.GetActionCategories().FindKind(id), nullptr) << id;
}

TEST(ActionCatalogue, EventKindsHaveTheirHandlers)
{
    SWevents world;
    for (const int32_t id : {11, 12, 13, 14, 15, 25, 30, 31, 38})
        EXPECT_NE(world.GetActionCategories().FindKind(id)->GetHandler(), nullptr) << id;
}

TEST(ActionFactory, EachKindGetsItsClassAndDefaults)
{
    SWevents world;
    SWevent* event = world.NewEvent();
    const auto& kinds = world.GetActionCategories();
    EXPECT_NE(dynamic_cast<SWconditionaction*>(event->CreateAction(kinds.FindKind(25))), nullptr);
    EXPECT_NE(dynamic_cast<SWqueueaction*>(event->CreateAction(kinds.FindKind(30))), nullptr);
    auto* hide = dynamic_cast<SWvisibilityaction*>(event->CreateAction(kinds.FindKind(21)));
    auto* show = dynamic_cast<SWvisibilityaction*>(event->CreateAction(kinds.FindKind(22)));
    ASSERT_TRUE(hide != nullptr && show != nullptr);
    EXPECT_EQ(hide->settings.hide, 1);
    EXPECT_EQ(show->settings.hide, 0);
    SWactionnode* cursor = event->CreateAction(kinds.FindKind(39));
    ASSERT_EQ(cursor->GetArguments().Count(), 1u);
    const auto* argument = static_cast<const SWdatanode*>(cursor->GetArguments().Head());
    EXPECT_EQ(*static_cast<const int32_t*>(argument->GetData(SWdatanode::kInt)), 0);
    auto* motion = dynamic_cast<SWmotionaction*>(event->CreateAction(kinds.FindKind(51)));
    ASSERT_NE(motion, nullptr);
    const auto* jump = dynamic_cast<const SWnodemotion*>(motion->GetMotion());
    ASSERT_NE(jump, nullptr); // its creator is registered: the vertex jump
    EXPECT_EQ(jump->GetType(), 8u);
    EXPECT_EQ(event->CreateAction(nullptr), nullptr);
    EXPECT_EQ(event->CountActions(), 6u);
}

TEST(ActionFactory, IdsContinueAcrossEventsAndStartAtZeroInANewWorld)
{
    SWevents world;
    SWactionkind* kind = world.GetActionCategories().FindKind(11);
    EXPECT_EQ(world.NewEvent()->CreateAction(kind)->GetActionId(), 0u);
    EXPECT_EQ(world.NewEvent()->CreateAction(kind)->GetActionId(), 1u);
    SWevents other;
    EXPECT_EQ(other.NewEvent()->CreateAction(kind)->GetActionId(), 0u);
}

TEST(ActionFactory, HostCallbackOwnsItsKindAndCloneCopiesIt)
{
    SWevents world;
    SWactionnode* action = world.NewEvent()->CreateHostCallbackAction("Applet", "run");
    ASSERT_NE(action->GetKind(), nullptr);
    EXPECT_EQ(action->GetKindId(), 16);
    const std::unique_ptr<SWactionnode> copy(action->Clone());
    ASSERT_NE(copy->GetKind(), nullptr);
    EXPECT_NE(copy->GetKind(), action->GetKind());
    EXPECT_EQ(*copy->GetKind()->GetParameter(), "run");
}

TEST(ActionSettings, DelayRefusesNegativeAndNaN)
{
    SWactionnode action(11);
    action.SetDelay(250.0);
    EXPECT_EQ(action.GetDelay(), 250.0);
    action.SetDelay(-5.0);
    EXPECT_EQ(action.GetDelay(), 0.0);
    action.SetDelay(std::nan(""));
    EXPECT_EQ(action.GetDelay(), 0.0);
}

TEST(ActionSettings, StereoCopyKeepsEverySetting)
{
    SWstereoaction stereo(37);
    stereo.settings.eye = 1;
    stereo.settings.value7 = 9.0f;
    stereo.settings.int1 = 12;
    stereo.settings.byte6 = 0;
    const std::unique_ptr<SWactionnode> copy(stereo.Clone());
    const auto& settings = static_cast<SWstereoaction&>(*copy).settings;
    EXPECT_EQ(settings.eye, 1);
    EXPECT_EQ(settings.value7, 9.0f);
    EXPECT_EQ(settings.int1, 12);
    EXPECT_EQ(settings.byte6, 0);
}

TEST(ActionSettings, ClassesWithoutACopyCloneToNull)
{
    EXPECT_EQ(SWqueueaction(30).Clone(), nullptr);
    EXPECT_EQ(SWconditionaction(25).Clone(), nullptr);
    EXPECT_EQ(SWmotionaction(41).Clone(), nullptr);
    EXPECT_EQ(SWstopmotionsaction(46).Clone(), nullptr);
    const std::unique_ptr<SWactionnode> plain(SWactionnode(12).Clone());
    EXPECT_EQ(plain->GetKindId(), 12);
}

TEST(ActionSettings, StopMotionsTargetsOnceEachAndRemapsWithMerges)
{
    SWstopmotionsaction stop(46);
    stop.AddTarget(4);
    stop.AddTarget(4);
    stop.AddTarget(7);
    ASSERT_EQ(stop.GetIds().size(), 2u);
    stop.RemapIds({{4, 40}});
    EXPECT_EQ(stop.GetIds()[0], 40u);
    EXPECT_EQ(stop.GetIds()[1], 7u);
}

TEST(ActionSettings, DependencyNeedsTheSameEvent)
{
    SWevents world;
    SWevent* event = world.NewEvent();
    SWactionnode* test = event->CreateAction(world.GetActionCategories().FindKind(25));
    SWactionnode* then = event->CreateAction(world.GetActionCategories().FindKind(11));
    then->SetThenLink(test->GetActionId());
    EXPECT_TRUE(SWactionnode::IsDependentOf(*then, *test));
    EXPECT_FALSE(SWactionnode::IsDependentOf(*test, *then));
    SWactionnode elsewhere(11);
    elsewhere.SetThenLink(test->GetActionId());
    EXPECT_FALSE(SWactionnode::IsDependentOf(elsewhere, *test));
}

TEST(ActionDuration, MotionActionsReportAndTakeTheirMotionsFigures)
{
    SWmotionaction action(41);
    auto motion = std::make_unique<FixedMotion>();
    motion->SetLoopCount(3);
    FixedMotion* held = motion.get();
    action.SetMotion(std::move(motion));
    int32_t passes = -1, frames = -1;
    EXPECT_EQ(action.GetDuration(passes, &frames), 1000.0);
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(frames, 30);
    held->SetLoopForever(true);
    action.GetDuration(passes, &frames);
    EXPECT_EQ(passes, 0);
    action.StretchDuration(500.0);
    EXPECT_EQ(held->GetDuration(), 500.0f);
    action.StretchDuration(-1.0);
    action.StretchDuration(std::nan(""));
    EXPECT_EQ(held->GetDuration(), 500.0f);
}

TEST(ActionDuration, OtherActionsKeepOnePassOfNothing)
{
    SWmotionaction empty(52);
    SWoldtranslationaction translation(26);
    for (SWactionnode* action : {static_cast<SWactionnode*>(&empty), static_cast<SWactionnode*>(&translation)}) {
        action->StretchDuration(800.0);
        int32_t passes = -1, frames = -1;
        EXPECT_EQ(action->GetDuration(passes, &frames), 0.0);
        EXPECT_EQ(passes, 1);
        EXPECT_EQ(frames, 0);
    }
    EXPECT_EQ(translation.settings.durationMs, 1000u);
}

TEST(OldActionTimes, ContinuousTranslationScaledOnlyForOldBuildsAndOnlyOnce)
{
    SWevents world;
    SWevent* event = world.NewEvent();
    auto* translation =
        static_cast<SWoldtranslationaction*>(event->CreateAction(world.GetActionCategories().FindKind(26)));
    translation->settings = {10.0f, 20.0f, 30.0f, 0, 1};
    event->ConvertOldActionTimes(3999);
    EXPECT_NEAR(translation->settings.x, 0.3003003f, 1e-6f);
    translation->settings = {10.0f, 20.0f, 30.0f, 0, 1};
    event->ConvertOldActionTimes(4100);
    event->ConvertOldActionTimes(4100);
    EXPECT_EQ(translation->settings.x, 10.0f);
    EXPECT_EQ(translation->settings.durationMs, 0u);
}

TEST(OldActionTimes, ZeroDurationWithoutContinuousBecomesOneFrameAtEveryBuild)
{
    SWevents world;
    SWevent* event = world.NewEvent();
    auto* translation =
        static_cast<SWoldtranslationaction*>(event->CreateAction(world.GetActionCategories().FindKind(26)));
    auto* rotation = static_cast<SWoldrotationaction*>(event->CreateAction(world.GetActionCategories().FindKind(27)));
    for (const uint32_t build : {100u, 4100u}) {
        translation->settings.durationMs = 0;
        rotation->settings.durationMs = 0;
        event->ConvertOldActionTimes(build);
        EXPECT_EQ(translation->settings.durationMs, 33u);
        EXPECT_EQ(rotation->settings.durationMs, 33u);
    }
    rotation->settings = {};
    rotation->settings.durationMs = 0;
    rotation->settings.continuous = 1;
    event->ConvertOldActionTimes(100);
    EXPECT_EQ(rotation->settings.durationMs, 0u);
}

TEST(ActionSettings, BackgroundKeepsItsTextureByNameAndNeverReachesADeletedOne)
{
    SWworld world;
    auto sky = std::make_unique<SWimage24>();
    sky->SetName("sky");
    SWtexture* const worldSky = sky.get();
    ASSERT_TRUE(world.GetRootObject()->AddTexture(std::move(sky)));
    auto shown = std::make_unique<SWimage24>();
    shown->SetName("sky");
    SWbackground background(std::move(shown), 2);

    auto* action = new SWbackgroundaction(background);
    SWevent* event = world.NewEvent();
    event->AppendAction(action);
    EXPECT_EQ(action->GetTextureName(), std::optional<std::string>("sky"));
    EXPECT_EQ(action->settings.mode, background.GetMode());
    EXPECT_EQ(action->GetTexture(), worldSky);
    const std::unique_ptr<SWactionnode> copy(action->Clone());
    EXPECT_EQ(static_cast<SWbackgroundaction&>(*copy).GetTextureName(), std::optional<std::string>("sky"));

    world.ReplaceTextureReferences(worldSky, nullptr, false); // deleted
    EXPECT_EQ(action->GetTexture(), nullptr);
    auto again = std::make_unique<SWimage24>();
    again->SetName("sky");
    SWtexture* const newSky = again.get();
    ASSERT_TRUE(world.GetRootObject()->AddTexture(std::move(again)));
    EXPECT_EQ(action->GetTexture(), newSky);
}
