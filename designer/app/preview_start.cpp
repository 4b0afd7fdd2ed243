#include "designer/app/preview_start.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "engine/core/camera_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/geometry.h"
#include "engine/resources/mesh.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "engine/resources/texture.h"

namespace {

// The meshes whose vertices a run writes: those of the nodes that play vertex frames.
SWmesh* AnimatedMesh(const SWnode& node)
{
    const SWobjectnode* object = SWobjectnode::FromNode(const_cast<SWnode*>(&node));
    if (object == nullptr || !object->HasKind(SWobjectnode::kFlagVertexAnimated))
        return nullptr;
    return dynamic_cast<SWmesh*>(node.GetGeometry());
}

bool InTree(const SWworld& world, const SWnode* node)
{
    for (const SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode()))
        if (n == node)
            return true;
    return false;
}

} // namespace

std::unique_ptr<SWbackground> CopyOfBackground(const SWbackground& background)
{
    auto copy = std::make_unique<SWbackground>(background.GetColour());
    if (background.GetTexture() != nullptr)
        copy->SetTexture(CloneTextureObject(background.GetTexture()));
    copy->SetMode(background.GetMode());
    copy->SetBackgroundFlags(background.GetBackgroundFlags());
    return copy;
}

void AnnounceUnloading(CVTNDesignerApp& app, CVTND_ExtendedWorld& world, const CVTN_SubWorldInstance& instance,
                       bool resources)
{
    if (!instance.loaded || instance.top == nullptr || app.GetWorld() != &world)
        return;
    if (CVTND_Project* project = world.GetProject()) {
        std::vector<MergeEntry> only;
        for (const MergeEntry& entry : instance.record.entries)
            if (!IsMergedResource(entry.kind))
                only.push_back(entry);
        project->AnnounceRemoved(instance.record, resources ? nullptr : &only);
    }
    const CVTND_Object top(static_cast<SWnode*>(instance.top));
    app.Broadcast(CVTND_Event(EventCode::kDeleted, top));
    app.ForgetDeleted(top, 0);
}

void CVTND_PreviewStart::KeepBackground(SWworld& world)
{
    const SWbackground* now = world.GetRootObject()->GetBackground();
    m_background = Background{now != nullptr ? now->GetSerial() : 0, now != nullptr ? CopyOfBackground(*now) : nullptr};
}

void CVTND_PreviewStart::Keep(SWworld& world)
{
    *this = {};
    KeepBackground(world);
    for (const SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode())) {
        if (const SWgeometry* geometry = n->GetGeometry())
            m_visibility[geometry] = {geometry->IsHidden(), geometry->IsVisible()};
        if (const auto* spot = dynamic_cast<const SWhotspot*>(n))
            m_labels[n] = spot->GetLabelState();
        if (const auto* camera = dynamic_cast<const SWcameranode*>(n)) {
            m_eyes[n] = {camera->GetEye(), camera->GetEyeIndex() != 0};
            if (const SWcameraobject* lens = camera->GetCameraObject())
                m_stereo[lens] = {lens->GetFirstStereoValue(), lens->GetStereoValue()};
        }
        if (const SWmesh* mesh = AnimatedMesh(*n); mesh != nullptr && mesh->GetVertices() != nullptr)
            m_vertices[mesh].assign(mesh->GetVertices(), mesh->GetVertices() + size_t{mesh->GetVertexCount()} * 3);
    }
    m_worldStereo = world.GetStereo();
    for (const SWtexture* t = world.GetRootObject()->GetFirstTexture(); t != nullptr;
         t = SWrootobject::GetNextTexture(t))
        m_textureFlags[t] = t->GetTextureFlags();
    for (const std::unique_ptr<SWwindow>& window : world.GetWindows())
        m_cameras[window.get()] = window->GetCameraNode();
    CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(world);
    for (CVTN_SubWorld* e = world.GetSubWorlds().GetFirst(); e != nullptr; e = CVTN_SubWorlds::GetNext(e))
        for (const CVTN_SubWorldInstance* instance : loader.Unloading(*e, true))
            m_instances.insert(instance);
}

bool CVTND_PreviewStart::PutBack(CVTNDesignerApp& app, CVTND_ExtendedWorld& world)
{
    world.StoreAllCurrentValues();
    bool backgroundBack = false;
    if (m_background) {
        const SWbackground* now = world.GetRootObject()->GetBackground();
        if ((now != nullptr ? now->GetSerial() : 0) != m_background->serial) {
            world.GetRootObject()->SetBackground(std::move(m_background->copy));
            world.RebuildBackground();
            for (const std::unique_ptr<SWwindow>& window : world.GetWindows())
                if (window->GetRenderer() != nullptr) // they held the one just deleted
                    window->GetRenderer()->SetBackground(world.GetRootObject()->GetBackground());
            backgroundBack = true;
        }
    }
    // The windows look through their cameras of Start before the worlds the run loaded take theirs away.
    for (const std::unique_ptr<SWwindow>& window : world.GetWindows())
        if (const auto at = m_cameras.find(window.get()); at != m_cameras.end() &&
                                                          at->second != window->GetCameraNode() &&
                                                          (at->second == nullptr || InTree(world, at->second)))
            window->SetCamera(at->second);
    world.SetCursor(nullptr);
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode())) {
        if (SWgeometry* geometry = n->GetGeometry())
            if (const auto at = m_visibility.find(geometry); at != m_visibility.end()) {
                geometry->SetHidden(at->second.first, false);
                geometry->SetVisible(at->second.second);
            }
        if (auto* spot = dynamic_cast<SWhotspot*>(n))
            if (const auto at = m_labels.find(n); at != m_labels.end())
                spot->SetLabelState(at->second);
        if (auto* camera = dynamic_cast<SWcameranode*>(n)) {
            if (const auto at = m_eyes.find(n); at != m_eyes.end()) {
                camera->SetEye(at->second.first);
                camera->SetStereoEye(at->second.second);
            }
            SWcameraobject* lens = camera->GetCameraObject();
            if (const auto at = lens != nullptr ? m_stereo.find(lens) : m_stereo.end(); at != m_stereo.end()) {
                lens->SetFirstStereoValue(at->second.first);
                lens->SetStereoValue(at->second.second);
            }
        }
        if (SWmesh* mesh = AnimatedMesh(*n))
            if (const auto at = m_vertices.find(mesh);
                at != m_vertices.end() && at->second.size() == size_t{mesh->GetVertexCount()} * 3 &&
                !std::equal(at->second.begin(), at->second.end(), std::as_const(*mesh).GetVertices())) {
                std::copy(at->second.begin(), at->second.end(), mesh->GetVertices());
                mesh->ComputeBoundingBox();
                mesh->ComputeNormals();
            }
    }
    world.SetStereo(m_worldStereo);
    for (SWtexture* t = world.GetRootObject()->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t))
        if (const auto at = m_textureFlags.find(t); at != m_textureFlags.end())
            t->SetTextureFlags(at->second);
    SWsoundlist& sounds = world.GetSoundList();
    for (SWsound* sound = sounds.GetFirst(); sound != nullptr; sound = sounds.GetNext(sound))
        sound->ResetPlay();
    (void)world.TakeUnloads(); // what they would take goes now with the rest
    // Each unload may take entries with it: the next instance is looked for afresh.
    CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(world);
    for (bool more = true; more;) {
        more = false;
        for (CVTN_SubWorld* e = world.GetSubWorlds().GetFirst(); e != nullptr && !more; e = CVTN_SubWorlds::GetNext(e))
            for (CVTN_SubWorldInstance* instance : loader.Unloading(*e, true))
                if (m_instances.count(instance) == 0) {
                    AnnounceUnloading(app, world, *instance, true);
                    loader.UnloadSubWorld(*e, instance, false, true);
                    more = true;
                    break;
                }
    }
    *this = {};
    return backgroundBack;
}
