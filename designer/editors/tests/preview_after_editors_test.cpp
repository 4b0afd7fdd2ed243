// What one click does in the preview after the motion editors were opened and closed, against the same project
// saved and reopened and against its published world: the node's matrix after the click, compared. New actions and
// a rotation align read from a file run too. Every kind the Actions panel offers, and a motion of every value
// generator kind, leaves the project as Save writes it, and what its click shows is the same in all three.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "designer/app/notification.h"
#include "designer/app/preview_start.h"
#include "designer/app/project.h"
#include "designer/app/world_host.h"
#include "designer/editors/controller_editor.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/eventedit/play_sound_dlg.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/camera_node.h"
#include "engine/core/cursor_list.h"
#include "engine/core/document_file.h"
#include "engine/core/node.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/window.h"
#include "engine/core/world_file.h"
#include "engine/resources/background.h"
#include "engine/resources/mesh.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "engine/resources/texture.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/trackbar.h"

namespace editorstest {
namespace {

constexpr const char* kNode = "object0";
constexpr uint32_t kFrameMs = 33;

bool Near(const SWmatrix& a, const SWmatrix& b)
{
    for (int i = 0; i < 16; ++i)
        if (!(std::fabs(a[i] - b[i]) <= 1e-4f))
            return false;
    return true;
}

class PreviewAfterEditors : public EditorsFixture {
protected:
    // A left click on object0 runs one action of kind on it. The sample's default track of object0 starts at
    // frame 0 one step along x from its rest, so that a jump to a new jump's frame moves it.
    SWactionnode* OnClick(int32_t kind)
    {
        sample = std::make_unique<designertest::SampleWorld>(*app);
        World().UpdateNodeTransforms(World().GetRootNode(), 0);
        if (AnimationTrack* track = Node()->GetAnimationTracks().FindByName(kDefaultAnimationName))
            track->SetKey(0, SWmatrix::Translation(1.0f, 0.0f, 0.0f));
        SWevent* click = World().AddEventOfType(static_cast<uint32_t>(EventType::kLeftClickObject));
        click->SetName(std::string("hit"));
        click->AddObjectName(std::string(kNode));
        SWactionnode* action = sample->AddAction(*click, kind);
        action->AddArgument(kNode, SWdatanode::kString, true);
        return action;
    }
    void Frame(SWworld& world)
    {
        world.RunFrame();
        virtualClock().advance(kFrameMs);
    }
    // Started, one click on object0, twelve frames (midway through every motion here), stopped.
    void ClickOnce(SWworld& world)
    {
        world.SetRunning(true);
        Frame(world);
        auto* click = new SWinputrecord(InputKind::kObjectClick, 0, world.GetRootNode()->FindByName(kNode));
        click->SetSecondWord(2);
        world.GetPostedQueue().Push(click);
        for (int i = 0; i < 12; ++i)
            Frame(world);
        world.SetRunning(false);
        Frame(world);
    }
    std::unique_ptr<SWworld> Reopened(WorldFileMode mode)
    {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(WriteWorldFile(World(), mode, bytes), DocumentStatus::kOk);
        SWdocumentfile file;
        EXPECT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
        SWreadcontext context(SWreadcontext::IdMode::kKeep);
        WorldLoadResult loaded = ReadWorldFile(file, context);
        EXPECT_EQ(loaded.status, DocumentStatus::kOk);
        return std::move(loaded.world);
    }
    // One click in the preview, then in the project saved and reopened and in its published world: object0 ends
    // alike in all three. Each world is handed to check after its click; the preview's matrix is the answer.
    SWmatrix ExpectPlayedAsSaved(const std::function<void(SWworld&)>& check = {})
    {
        const std::unique_ptr<SWworld> project = Reopened(WorldFileMode::kProject);
        const std::unique_ptr<SWworld> published = Reopened(WorldFileMode::kPublished);
        ClickOnce(World());
        const SWmatrix preview = Node()->GetLocalMatrix();
        if (check)
            check(World());
        for (SWworld* world : {project.get(), published.get()}) {
            if (world == nullptr)
                continue;
            ClickOnce(*world);
            EXPECT_TRUE(
                Near(SWobjectnode::FromNode(world->GetRootNode()->FindByName(kNode))->GetLocalMatrix(), preview))
                << (world == project.get() ? "reopened" : "published");
            if (check)
                check(*world);
        }
        return preview;
    }
    SWobjectnode* Node() { return SWobjectnode::FromNode(sample->object); }
};

// Each editor opened and closed with no change, then with one (the slider moved, a value typed). The rotate XYZ
// changed is a new one, its value typed in the editor.
TEST_F(PreviewAfterEditors, OneClickAfterEachMotionEditorPlaysAsTheSavedAndPublishedWorlds)
{
    struct Row {
        int32_t kind;
        bool change;
    };
    for (const Row row : {Row{41, false}, Row{41, true}, Row{43, false}, Row{43, true}, Row{53, false}, Row{53, true},
                          Row{42, false}, Row{42, true}, Row{44, false}, Row{44, true}, Row{47, false}, Row{47, true},
                          Row{45, false}, Row{63, false}}) {
        SCOPED_TRACE(testing::Message() << "kind " << row.kind << (row.change ? ", changed" : ""));
        SWactionnode* action = OnClick(row.kind);
        if (auto* xyz = dynamic_cast<SWxyzmotion*>(action->GetMotion());
            xyz != nullptr && !(row.kind == 41 && row.change)) {
            auto track = std::make_unique<SWaxistrack>(&World(), row.kind == 43 ? 1.0f : 0.5f);
            track->SetDuration(row.kind == 41 ? 0.0f : 1000.0f); // a rotation at once, the others over a second
            xyz->SetGenerator(std::move(track), 1);
        }
        if (auto* aim = dynamic_cast<SWtracktargetmotion*>(action->GetMotion()))
            aim->SetTargetName(sample->otherObject->GetName());
        if (auto* jump = dynamic_cast<SWkeyframejumpmotion*>(action->GetMotion()))
            jump->SetFrame(12);
        pf::Window* editor = app->EditObject(CVTND_Object(action), false);
        ASSERT_NE(editor, nullptr);
        sim().pump();
        if (auto* controller = dynamic_cast<CVTND_ActionControllerDlg*>(editor); controller != nullptr && row.change) {
            sim().moveTrackbar(*controller->item<pf::Trackbar>(1352), 600);
            if (auto* y = dynamic_cast<CVTND_ValueGenerator*>(controller->CurrentPage()->child(1005))) {
                sim().replaceText(*y->GetEdit(), "45");
                sim().pump();
            }
        }
        editor->destroy();
        sim().pump();
        const SWmatrix moved = ExpectPlayedAsSaved();
        if (row.kind != 45 && row.kind != 63) {
            EXPECT_FALSE(Near(moved, Node()->GetInitialMatrix())); // the arcballs wait for a drag
        }
    }
}

// The rotation align as a file holds it, its target by name only: in the preview, reopened and published, the
// click turns object0's Z axis to the target.
TEST_F(PreviewAfterEditors, ARotationAlignReadFromAFileAimsAtItsTarget)
{
    SWactionnode* action = OnClick(42);
    dynamic_cast<SWtracktargetmotion*>(action->GetMotion())->SetTargetName(sample->otherObject->GetName());
    const std::string target = *sample->otherObject->GetName();
    ExpectPlayedAsSaved([&target](SWworld& world) {
        const auto* own = SWobjectnode::FromNode(world.GetRootNode()->FindByName(kNode));
        const auto* aimed = SWobjectnode::FromNode(world.GetRootNode()->FindByName(target));
        SWmatrix inverse;
        own->GetWorldMatrix().Invert(inverse);
        const SWvector p = inverse.TransformPoint(aimed->GetWorldMatrix().GetTranslation());
        EXPECT_NEAR(p.z / std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 1.0f, 1e-4f);
    });
}

// Neither was opened in an editor: their unset frames are the runtime's to settle.
TEST_F(PreviewAfterEditors, ANewPlayAndJumpMoveTheNodeOnTheFirstRun)
{
    for (const int32_t kind : {44, 47}) {
        SCOPED_TRACE(kind);
        OnClick(kind);
        EXPECT_FALSE(Near(ExpectPlayedAsSaved(), Node()->GetInitialMatrix()));
    }
}

// What a running world asks of its host, of which the cursor shown is kept.
class CursorHost : public CVTND_WorldHost {
public:
    void JavaCallback(SWevent*, const char*, const char*, const char*) override {}
    void SetCursor(const SWcursor* cursor) override { shown = cursor != nullptr ? cursor->imageFile : "default"; }
    void HostMessage(const char*) override {}
    bool BeginMouseLook() override { return false; }
    void EndMouseLook() override {}
    std::string shown = "default";
};

// What a click shows, as text: every node's matrix, visibility and vertices (the loaded world's among them), the
// window's camera, the cursor, the background, the stereo flag, the textures' filtering and how each sound plays.
std::string Outcome(SWworld& world, const CursorHost& host)
{
    std::ostringstream out;
    const auto rounded = [](float v) { return std::lround(v * 1000.0f); };
    for (const SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode())) {
        out << n->GetName().value_or("?");
        if (const SWobjectnode* object = SWobjectnode::FromNode(const_cast<SWnode*>(n)))
            for (int i = 0; i < 16; ++i)
                out << ' ' << rounded(object->GetLocalMatrix()[i]);
        if (const SWgeometry* geometry = n->GetGeometry()) {
            out << (geometry->IsHidden() ? " hidden" : "") << (geometry->IsVisible() ? "" : " invisible");
            if (const auto* mesh = dynamic_cast<const SWmesh*>(geometry); mesh != nullptr && mesh->GetVertices()) {
                float sum = 0.0f;
                for (uint32_t i = 0; i < mesh->GetVertexCount() * 3; ++i)
                    sum += mesh->GetVertices()[i] * static_cast<float>(i % 7 + 1);
                out << " vertices " << rounded(sum);
            }
        }
        out << '\n';
    }
    const SWcameranode* camera = world.GetWindows().empty() ? nullptr : world.GetWindows().front()->GetCameraNode();
    out << "camera " << (camera != nullptr ? camera->GetName().value_or("?") : "none") << "\ncursor " << host.shown
        << "\nbackground " << world.GetRootObject()->GetBackground()->GetColour() << "\nstereo "
        << int{world.GetStereo()} << '\n';
    for (const SWtexture* t = world.GetRootObject()->GetFirstTexture(); t != nullptr;
         t = SWrootobject::GetNextTexture(t))
        out << t->GetName() << " flags " << t->GetTextureFlags() << '\n';
    for (const SWsound* sound = world.GetSoundList().GetFirst(); sound != nullptr;
         sound = world.GetSoundList().GetNext(sound)) {
        const SWsoundplay& play = sound->GetPlay();
        out << sound->GetName() << " plays " << play.startMs << '-' << play.endMs << " loop " << int{play.loop}
            << " repeat " << play.repeatCount << '\n';
    }
    return out.str();
}

class PreviewLeavesNothing : public PreviewAfterEditors {
protected:
    static constexpr const char* kRoomBox = "room-box";

    // A click on object0 runs one action of kind, aimed where it shows: the sample's other camera, its sound (a
    // second long, its own settings 100-900 ms, looping, two passes), its loaded world (a file of one box and an
    // entry named as the project's), events, cursor, hot spot, particles; the mesh node's vertex frames swell it.
    SWactionnode* Made(int32_t kind, uint8_t generator)
    {
        SWactionnode* action = OnClick(kind);
        World().AddWindow(std::make_unique<SWwindow>());
        previewHost.shown = "default";
        World().SetHost(&previewHost);
        const std::filesystem::path folder = artifactPath("preview-" + std::to_string(kind));
        std::filesystem::create_directories(folder);
        const std::string wave = (folder / "speech.wav").string();
        const std::unique_ptr<pf::RiffWaveWriter> writer =
            pf::RiffWaveWriter::create(wave, pf::WaveFormat::pcm(1, 8000, 16)); // a second of silence
        EXPECT_TRUE(writer != nullptr && writer->write(std::vector<uint8_t>(16000, 0)) && writer->finish());
        sample->sound->SetFileName(wave);
        const std::string room = (folder / "room.vtn").string();
        SWworld made;
        auto* box = new SWobjectnode;
        box->SetName(std::string(kRoomBox));
        made.AddNode(box, nullptr);
        made.GetSubWorlds().Add(sample->loadedWorld->GetName()); // a level may hold an entry named as the project's
        EXPECT_EQ(SaveWorldFile(made, WorldFileMode::kScene, room), DocumentStatus::kOk);
        sample->loadedWorld->SetFileName(room);
        auto* swollen = SWobjectnode::FromNode(sample->mesh);
        auto* mesh = dynamic_cast<SWmesh*>(swollen->GetGeometry());
        auto table = std::make_unique<VertexFrameTable>();
        EXPECT_TRUE(table->Allocate(4, mesh->GetVertexCount()));
        for (uint32_t frame = 0; frame < 4; ++frame) {
            const std::span<float> out = table->GetFrameVertices(frame);
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = mesh->GetVertices()[i] * (1.0f + 0.1f * static_cast<float>(frame));
        }
        table->SetReady(true);
        swollen->SetVertexFrameTable(std::move(table));

        const auto aim = [action](const std::string& name) {
            action->GetArguments().DeleteAll();
            action->AddArgument(name.c_str(), SWdatanode::kString, true);
        };
        switch (kind) {
        case 5:
            aim(*sample->otherCamera->GetName());
            break;
        case 37:
            aim(*sample->camera->GetName());
            break;
        case 7:
        case 8:
            aim(sample->sound->GetName());
            if (auto* play = dynamic_cast<SWsoundaction*>(action))
                play->settings.playOption2 = 3;
            break;
        case 54:
        case 55:
        case 56:
            aim(*sample->loadedWorld->GetName());
            if (auto* load = dynamic_cast<SWimportvtoactionnode*>(action))
                load->settings.byte1 = 0;
            break;
        case 11:
        case 12:
        case 13:
        case 14:
            aim(*sample->timer->GetName());
            break;
        case 48:
        case 49:
            aim(*sample->particles->GetName());
            break;
        case 58:
            aim(*sample->hotspot->GetName());
            break;
        case 50:
        case 51:
            aim(*sample->mesh->GetName());
            break;
        case 19:
            dynamic_cast<SWbackgroundaction&>(*action).settings.red = 1.0f;
            break;
        case 23: {
            action->GetArguments().DeleteAll();
            const uint8_t on = 1;
            action->AddArgument(&on, SWdatanode::kByte, true);
            break;
        }
        case 35:
            action->GetArguments().DeleteAll();
            action->AddArgument(sample->expression, SWdatanode::kObject, false);
            break;
        case 39: {
            action->GetArguments().DeleteAll();
            const auto id = static_cast<int32_t>(sample->cursor->id);
            action->AddArgument(&id, SWdatanode::kInt, true);
            break;
        }
        default:
            break;
        }
        if (auto* xyz = dynamic_cast<SWxyzmotion*>(action->GetMotion()))
            xyz->SetGenerator(Generator(generator), 1);
        if (auto* aimAt = dynamic_cast<SWtracktargetmotion*>(action->GetMotion()))
            aimAt->SetTargetName(sample->otherObject->GetName());
        return action;
    }
    std::unique_ptr<SWgenerator> Generator(uint8_t type)
    {
        switch (type) {
        case SWgenerator::kPolynomial: {
            auto made = std::make_unique<SWpolynomialgenerator>(&World());
            made->SetAmplitude(0.5f);
            made->SetDuration(1000.0f);
            return made;
        }
        case SWgenerator::kRandom: { // one value, so that the three worlds draw alike
            auto made = std::make_unique<SWrandomgenerator>(&World());
            made->SetMinimum(0.25f);
            made->SetMaximum(0.25f);
            return made;
        }
        case SWgenerator::kProperty: { // object0's 1.5, each reading against the last
            auto made = std::make_unique<SWpropertygenerator>(&World());
            made->SetPropertyName(std::string("NODE:object0.object0_speed"));
            made->SetRelative(true);
            return made;
        }
        case SWgenerator::kAxisTrack: {
            auto made = std::make_unique<SWaxistrack>(&World(), 0.5f);
            made->SetDuration(1000.0f);
            return made;
        }
        default: {
            auto made = std::make_unique<SWwaveformgenerator>(&World());
            made->SetShape(type);
            made->SetSustainAmplitude(0.5f);
            return made;
        }
        }
    }
    std::vector<uint8_t> Saved()
    {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(World().GetProject()->WriteBytes(bytes, app->GetGradientStore()));
        return bytes;
    }
    // The click, and the load it may have started merged; bounded, as a loader thread reads the file.
    std::string ClickAndSee(SWworld& world, const CursorHost& host)
    {
        ClickOnce(world);
        CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(world);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (loader.PendingCount() > 0 && std::chrono::steady_clock::now() < end) {
            const SWworldlock hold(world);
            if (loader.CompletePendingLoads() == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(loader.PendingCount(), 0u);
        return Outcome(world, host);
    }
    // One preview, from Start to Stop as the designer runs them: what the click showed.
    std::string Preview()
    {
        CVTND_PreviewStart start;
        {
            const SWworldlock hold(World());
            start.Keep(World());
        }
        const std::string shown = ClickAndSee(World(), previewHost);
        const SWworldlock hold(World());
        start.PutBack(*app, World());
        return shown;
    }
    std::string Played(std::vector<uint8_t> bytes, SWreadcontext::IdMode mode)
    {
        std::unique_ptr<SWworld> world;
        CVTND_Project::LoadResult project;
        if (mode == SWreadcontext::IdMode::kKeep) {
            project = CVTND_Project::LoadBytes(std::move(bytes), "reopened");
            EXPECT_TRUE(project.ok()) << project.message;
            if (!project.ok())
                return {};
        } else {
            SWdocumentfile file;
            EXPECT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
            SWreadcontext context(mode);
            world = ReadWorldFile(file, context, [] {
                        return std::unique_ptr<SWworld>(std::make_unique<CVTND_ExtendedWorld>());
                    }).world;
            EXPECT_NE(world, nullptr);
            if (world == nullptr)
                return {};
        }
        auto& played = project.ok() ? *project.world : dynamic_cast<CVTND_ExtendedWorld&>(*world);
        CursorHost host;
        played.SetHost(&host);
        played.AddWindow(std::make_unique<SWwindow>());
        played.UpdateNodeTransforms(played.GetRootNode(), 0);
        const std::string shown = ClickAndSee(played, host);
        played.SetHost(nullptr);
        return shown;
    }

    CursorHost previewHost;
};

// Each kind with its editor opened and closed unchanged, then changed (a motion's slider moved, a sound played from
// its editor); each previewed from Start to Stop. Save writes the bytes it wrote before, the world shows what it
// showed before, and what the click showed is what it shows in the project reopened and in the published world.
TEST_F(PreviewLeavesNothing, EveryKindAndGeneratorPreviewedLeavesTheSaveAndPlaysAsTheSavedAndPublishedWorlds)
{
    struct Row {
        int32_t kind;
        uint8_t generator;
    };
    std::vector<Row> rows;
    for (const SWactioncategory* c = World().GetActionCategories().GetFirstCategory(); c != nullptr;
         c = static_cast<const SWactioncategory*>(c->Next()))
        for (const SWactionkind* k = c->GetFirstKind(); k != nullptr; k = static_cast<const SWactionkind*>(k->Next()))
            if (k->IsListed())
                rows.push_back({k->GetKindId(), SWgenerator::kAxisTrack});
    for (const uint8_t generator :
         {SWgenerator::kSine, SWgenerator::kSquare, SWgenerator::kTriangle, SWgenerator::kSawtoothUp,
          SWgenerator::kSawtoothDown, SWgenerator::kProperty, SWgenerator::kRandom, SWgenerator::kPolynomial})
        rows.push_back({43, generator});
    ASSERT_GT(rows.size(), 40u); // forty kinds are listed
    for (const Row row : rows)
        for (const bool change : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "kind " << row.kind << " generator " << int{row.generator} << (change ? ", changed" : ""));
            SWactionnode* action = Made(row.kind, row.generator);
            if (pf::Window* editor = app->EditObject(CVTND_Object(action), false)) {
                sim().pump();
                if (auto* controller = dynamic_cast<CVTND_ActionControllerDlg*>(editor); controller && change)
                    sim().moveTrackbar(*controller->item<pf::Trackbar>(1352), 600);
                if (auto* sound = dynamic_cast<CVTND_ActionPlaySoundDlg*>(editor); sound && change)
                    sim().click(*sound->item<pf::Button>(CVTND_ActionPlaySoundDlg::kIdPlay));
                editor->destroy();
                sim().pump();
            }
            const std::vector<uint8_t> before = Saved();
            const std::string still = Outcome(World(), previewHost);
            recorder->Clear();
            const std::string previewed = Preview();
            for (const designertest::RecordedEvent& told : recorder->Events())
                EXPECT_FALSE(told.code == static_cast<uint32_t>(EventCode::kDeleted) &&
                             told.subject.GetObject() == sample->loadedWorld)
                    << "the project's own loaded world was announced removed";
            EXPECT_TRUE(Saved() == before) << "the preview changed what Save writes";
            EXPECT_EQ(Outcome(World(), previewHost), still) << "Stop put back less than the preview changed";
            EXPECT_EQ(Played(before, SWreadcontext::IdMode::kKeep), previewed) << "reopened";
            std::vector<uint8_t> published;
            EXPECT_EQ(WriteWorldFile(World(), WorldFileMode::kPublished, published), DocumentStatus::kOk);
            EXPECT_EQ(Played(std::move(published), SWreadcontext::IdMode::kFresh), previewed) << "published";
            EXPECT_EQ(Preview(), previewed) << "the second preview";
            CloseEditors();
            World().SetHost(nullptr);
        }
}

} // namespace
} // namespace editorstest
