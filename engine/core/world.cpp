#include "engine/core/world.h"

#include <algorithm>
#include <new>
#include <set>
#include <utility>

#include "engine/behaviour/event.h"
#include "engine/behaviour/property.h"
#include "engine/core/camera_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/window.h"
#include "engine/resources/background.h"
#include "engine/resources/geometry.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/sound.h"
#include "engine/resources/texture.h"

// -- Construction, lock, host callbacks

SWworld::SWworld()
    : m_rootNode(std::make_unique<SWnode>(SWnode::kKindRoot)), m_rootObject(std::make_unique<SWrootobject>())
{
    m_rootNode->SetWorld(this);
    m_nodeIndex.IndexTree(*m_rootNode);
    m_sounds.SetFinishedHook([this](SWsound& sound) { PostInputEvent(InputKind::kSoundFinished, &sound); });
}

SWworld::~SWworld()
{
    // The events' actions own motions that reach into the tree and the parts as they go: the events go before
    // anything they may reach.
    DeleteAllEvents();
    // Later parts may refer to anything else the world holds: they go first.
    for (auto& part : m_parts)
        part.reset();
    m_windows.clear();
    m_cameras.DeleteAll();
    m_arcballNode = nullptr;
    GetPostedQueue().Clear();
    GetDispatchQueue().Clear();
    m_rootNode.reset();
}

void SWworld::JavaCallback(SWevent*, const char*, const char*, const char*) {}

void SWworld::SetCursor(const SWcursor*) {}

void SWworld::HostMessage(const char*) {}

// -- The tree

bool SWworld::AddNode(SWnode* node, SWnode* parent)
{
    SWnode* under = parent != nullptr ? parent : m_rootNode.get();
    if (node == nullptr || under->GetRoot() != m_rootNode.get())
        return false;
    return under->AddChildNode(node);
}

void SWworld::UnloadSubWorld(CVTN_SubWorld& entry, bool all, bool resources)
{
    CVTN_SubWorldLoader::Of(*this).UnloadSubWorld(entry, nullptr, all, resources);
}

bool SWworld::DeleteNode(SWnode* node)
{
    if (node == nullptr || node == m_rootNode.get() || node->GetRoot() != m_rootNode.get())
        return false;
    std::vector<SWgeometry*> geometry;
    for (SWnode* n = node; n != nullptr; n = n->NextInTree(node))
        if (n->GetGeometry() != nullptr &&
            std::find(geometry.begin(), geometry.end(), n->GetGeometry()) == geometry.end())
            geometry.push_back(n->GetGeometry());
    ForgetSubtree(*node);
    node->Detach();
    RaiseStructureGeneration();
    delete node;
    DeleteUnusedGeometry(geometry);
    return true;
}

// Drops every reference the world keeps into node's subtree, which is about to go.
void SWworld::ForgetSubtree(const SWnode& node)
{
    std::set<const void*> gone;
    for (const SWnode* n = &node; n != nullptr; n = n->NextInTree(&node))
        gone.insert(n);
    const auto isGone = [&gone](const void* p) { return gone.count(p) != 0; };

    for (SWnode* n = m_rootNode.get(); n != nullptr; n = n->NextInTree(m_rootNode.get())) {
        if (!n->HasKind(SWnode::kKindGroup) || isGone(n))
            continue;
        for (SWlistnode* m = n->GetGroupMembers().Head(); m != nullptr;) {
            SWlistnode* next = m->Next();
            if (isGone(static_cast<SWgroupmember*>(m)->node))
                n->RemoveGroupMember(static_cast<SWgroupmember*>(m)->node);
            m = next;
        }
    }
    for (SWlistnode* c = m_cameras.Head(); c != nullptr;) {
        SWlistnode* next = c->Next();
        if (isGone(static_cast<SWnode*>(static_cast<SWcameraentry*>(c)->node)))
            m_cameras.Delete(c);
        c = next;
    }
    if (m_arcballNode != nullptr && isGone(static_cast<SWnode*>(m_arcballNode)))
        m_arcballNode = nullptr;
    if (auto* loader = dynamic_cast<CVTN_SubWorldLoader*>(GetPart(WorldPart::kLoaderQueue)))
        loader->ForgetNodes(gone);
    for (const auto& window : m_windows)
        if (window->GetCameraNode() != nullptr && isGone(static_cast<SWnode*>(window->GetCameraNode())))
            window->SetCamera(nullptr);
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
        if (isGone(e->GetLastMatchedNode()))
            e->SetLastMatchedNode(nullptr);
    const auto aimedAtGone = [&isGone](const SWinputrecord& record) {
        const auto* target = std::get_if<SWnode*>(&record.GetTarget());
        return target != nullptr && isGone(*target);
    };
    GetPostedQueue().RemoveIf(aimedAtGone);
    GetDispatchQueue().RemoveIf(aimedAtGone);
    if (SWobjectlist* list = m_rootObject->GetList(SWobjectlist::Kind::kGeometry))
        for (CVTN_Container* g = list->GetFirstChild(0); g != nullptr; g = g->GetNextSibling())
            if (auto* mesh = dynamic_cast<SWmeshobject*>(g))
                mesh->ClearCachedNodes(); // bone caches may name a node that goes
}

void SWworld::DeleteUnusedGeometry(const std::vector<SWgeometry*>& candidates)
{
    std::set<const SWgeometry*> used;
    for (SWnode* n = m_rootNode.get(); n != nullptr; n = n->NextInTree(m_rootNode.get()))
        used.insert(n->GetGeometry());
    const SWobjectlist* list = m_rootObject->GetList(SWobjectlist::Kind::kGeometry);
    for (SWgeometry* g : candidates) {
        if (used.count(g) != 0 || list == nullptr || g->GetParent() != list)
            continue; // still drawn elsewhere, or not ours to delete
        g->Detach();
        delete g;
        RaiseStructureGeneration();
    }
}

void SWworld::UpdateNodeTransforms(SWnode* node, int)
{
    // Pre-order: a parent is always done before its children read its world matrix.
    if (node == nullptr)
        return;
    for (SWnode* n = node; n != nullptr; n = n->NextInTree(node))
        if (SWobjectnode* object = SWobjectnode::FromNode(n))
            object->UpdateMatrices(n->GetParentNode());
}

void SWworld::UpdateGeometryMatrices(SWnode* node)
{
    if (node == nullptr)
        return;
    for (SWnode* n = node; n != nullptr; n = n->NextInTree(node))
        if (SWobjectnode* object = SWobjectnode::FromNode(n))
            object->RefreshObjectMatrix();
}

bool SWworld::Reparent(SWobjectnode* node, SWnode* newParent, bool keep, int flag)
{
    if (node == nullptr || newParent == nullptr || node->GetRoot() != m_rootNode.get() ||
        newParent->GetRoot() != m_rootNode.get() || newParent->IsInSubtreeOf(*node))
        return false;
    if (keep) {
        // local' = inverse(P') x P x local keeps the world matrix whatever the animation matrix is.
        const auto* oldParent = dynamic_cast<const SWobjectnode*>(node->GetParentNode());
        const auto* newObject = dynamic_cast<const SWobjectnode*>(newParent);
        const SWmatrix oldWorld = oldParent != nullptr ? oldParent->GetWorldMatrix() : SWmatrix();
        SWmatrix inverse;
        if (newObject != nullptr)
            newObject->GetWorldMatrix().Invert(inverse);
        SWmatrix local;
        inverse.Multiply(local, oldWorld);
        local.PostMultiply(node->GetLocalMatrix());
        node->SetLocalMatrix(local);
    }
    node->Detach();
    newParent->AddChildNode(node);
    if (flag != 0)
        UpdateNodeTransforms(node, 1);
    return true;
}

SWcameraentry* SWworld::AddCamera(SWcameranode* node)
{
    if (node == nullptr)
        return nullptr;
    auto* entry = new SWcameraentry(node);
    m_cameras.AddTail(entry);
    return entry;
}

SWcameranode* SWworld::GetActiveCamera() const
{
    const auto* first = static_cast<const SWcameraentry*>(m_cameras.Head());
    return first != nullptr ? first->node : nullptr;
}

SWwindow* SWworld::AddWindow(std::unique_ptr<SWwindow> window)
{
    if (!window)
        return nullptr;
    m_windows.push_back(std::move(window));
    return m_windows.back().get();
}

std::unique_ptr<SWwindow> SWworld::RemoveWindow(SWwindow* window)
{
    const auto found = std::find_if(m_windows.begin(), m_windows.end(),
                                    [window](const std::unique_ptr<SWwindow>& w) { return w.get() == window; });
    if (window == nullptr || found == m_windows.end())
        return nullptr;
    std::unique_ptr<SWwindow> removed = std::move(*found);
    m_windows.erase(found);
    if (m_currentView == window)
        m_currentView = nullptr;
    return removed;
}

void SWworld::Invalidate(bool immediate)
{
    {
        // Editors call this after letting the world go; the render thread reads the renderers' redraw state.
        const SWworldlock hold(*this);
        for (const auto& window : m_windows)
            window->Invalidate();
        m_fullRedraw = true;
    }
    if (immediate)
        m_redrawEvent.Set();
}

// -- Variables

SWproperties2& SWworld::GetSoundVariables(const SWsound& sound)
{
    auto& slot = m_soundVariables[&sound];
    if (!slot)
        slot = std::make_unique<WorldVariables>(*this);
    return *slot;
}

SWproperties2* SWworld::FindSoundVariables(const SWsound& sound) const
{
    const auto found = m_soundVariables.find(&sound);
    return found != m_soundVariables.end() ? found->second.get() : nullptr;
}

bool SWworld::RemoveSound(SWsound* sound)
{
    if (sound == nullptr)
        return false;
    {
        std::lock_guard guard(m_soundQueueLock);
        for (auto* queue : {&m_soundQueues.play, &m_soundQueues.stop, &m_soundQueues.load})
            queue->erase(std::remove(queue->begin(), queue->end(), sound), queue->end());
    }
    const auto aimedAtSound = [sound](const SWinputrecord& record) {
        const auto* target = std::get_if<SWsound*>(&record.GetTarget());
        return target != nullptr && *target == sound;
    };
    GetPostedQueue().RemoveIf(aimedAtSound);
    GetDispatchQueue().RemoveIf(aimedAtSound);
    m_soundVariables.erase(sound);
    std::unique_ptr<SWsound> owned = m_sounds.Remove(sound);
    RaiseStructureGeneration();
    return owned != nullptr;
}

std::unique_ptr<SWjavaclassnode> SWworld::RemoveJavaClass(SWjavaclassnode* entry)
{
    if (entry == nullptr || !m_javaClasses.Contains(entry))
        return nullptr;
    m_javaClasses.Remove(entry);
    return std::unique_ptr<SWjavaclassnode>(entry);
}

SWjavaclassnode* SWworld::AddJavaClass(std::unique_ptr<SWjavaclassnode> entry)
{
    if (!entry)
        return nullptr;
    SWjavaclassnode* added = entry.release();
    m_javaClasses.AddTail(added);
    return added;
}

// What invalidates the index: any deletion the world counts, and removals from Java entries, which know no world.
uint64_t SWworld::IndexStamp() const
{
    uint64_t stamp = GetStructureGeneration();
    for (SWlistnode* j = m_javaClasses.Head(); j != nullptr; j = j->Next())
        stamp += static_cast<SWjavaclassnode*>(j)->GetRemovalCount();
    return stamp;
}

void SWworld::RebuildVariableIndex() const
{
    m_variableIndex.clear();
    const auto add = [this](const SWproperties2& list) {
        for (SWproperty* v = list.GetFirstVariable(); v != nullptr; v = SWproperties2::GetNextVariable(v))
            m_variableIndex.emplace(v->GetId(), v);
    };
    add(m_variables);
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
        add(*e);
    for (SWnode* n = m_rootNode.get(); n != nullptr; n = n->NextInTree(m_rootNode.get()))
        add(*n);
    for (const auto& [sound, variables] : m_soundVariables)
        add(*variables);
    for (SWlistnode* j = m_javaClasses.Head(); j != nullptr; j = j->Next())
        add(*static_cast<SWjavaclassnode*>(j));
    m_variableIndexStamp = IndexStamp();
}

SWproperty* SWworld::FindVariableById(uint32_t id) const
{
    if (m_variableIndexStamp == IndexStamp()) {
        const auto found = m_variableIndex.find(id);
        if (found != m_variableIndex.end() && found->second->GetId() == id)
            return found->second;
    }
    // A miss may be a variable added since the index was built: search, and index again when it exists.
    SWproperty* searched = SearchVariableById(id);
    if (searched != nullptr)
        RebuildVariableIndex();
    return searched;
}

SWproperty* SWworld::SearchVariableById(uint32_t id) const
{
    if (SWproperty* v = m_variables.FindVariableById(id))
        return v;
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
        if (SWproperty* v = e->FindVariableById(id))
            return v;
    for (SWnode* n = m_rootNode.get(); n != nullptr; n = n->NextInTree(m_rootNode.get()))
        if (SWproperty* v = n->FindVariableById(id))
            return v;
    for (const auto& [sound, variables] : m_soundVariables)
        if (SWproperty* v = variables->FindVariableById(id))
            return v;
    for (SWlistnode* j = m_javaClasses.Head(); j != nullptr; j = j->Next())
        if (SWproperty* v = static_cast<SWjavaclassnode*>(j)->FindVariableById(id))
            return v;
    return nullptr;
}

std::optional<std::string> SWworld::GetQualifiedName(const SWproperty& variable) const
{
    const SWproperties2* owner = variable.GetOwner();
    if (owner == nullptr)
        return std::nullopt;
    const std::string name = variable.GetName().value_or("");
    if (const auto* node = dynamic_cast<const SWnode*>(owner))
        return "NODE:" + node->GetName().value_or("") + "." + name;
    if (const auto* java = dynamic_cast<const SWjavaclassnode*>(owner))
        return "RESOURCE:" + java->GetName().value_or("") + "." + name;
    for (const auto& [sound, variables] : m_soundVariables)
        if (variables.get() == owner)
            return "SOUND:" + sound->GetName() + "." + name;
    return std::nullopt;
}

void SWworld::StoreAllCurrentValues()
{
    for (SWnode* n = m_rootNode.get(); n != nullptr; n = n->NextInTree(m_rootNode.get()))
        n->ResetToInitial();
    for (const auto& [sound, variables] : m_soundVariables)
        variables->ResetToInitial();
    for (SWlistnode* j = m_javaClasses.Head(); j != nullptr; j = j->Next())
        static_cast<SWjavaclassnode*>(j)->ResetToInitial();
}

void SWworld::Start()
{
    SWworldlock guard(*this);
    if (m_running)
        return;
    m_running = true;
    m_keys.ResetKeyStates();
    StoreAllCurrentValues();
    ResetEvents();
    RunNodeStartSteps();
    GetPostedQueue().Clear();
    GetDispatchQueue().Clear();
}

// -- Input posting

uint32_t SWworld::GetFrameTimeMs() const
{
    const float t = GetCurrentWorldTime();
    if (!(t >= 0.0f))
        return 0;
    if (t >= 4294967040.0f) // the largest float below 2^32
        return UINT32_MAX;
    return static_cast<uint32_t>(t);
}

bool SWworld::Post(SWinputrecord* record)
{
    GetPostedQueue().Push(record);
    return true;
}

bool SWworld::PostInputEvent(InputKind kind, SWinputtarget target)
{
    try {
        return Post(new SWinputrecord(kind, GetFrameTimeMs(), target));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool SWworld::PostNamedTrigger(SWevent* event, std::optional<std::string> dataText,
                               std::optional<std::string> eventName)
{
    try {
        return Post(
            SWinputrecord::SWinputrecordTrigger(event, std::move(dataText), GetFrameTimeMs(), std::move(eventName)));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool SWworld::PostKeyDown(const SWkeyentry& key)
{
    try {
        return Post(SWinputrecord::SWinputrecordKey(key, true, GetFrameTimeMs()));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool SWworld::PostKeyUp(const SWkeyentry& key)
{
    try {
        return Post(SWinputrecord::SWinputrecordKey(key, false, GetFrameTimeMs()));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// -- Sounds

void SWworld::QueueSoundPlay(SWsound* sound)
{
    if (sound == nullptr)
        return;
    std::lock_guard guard(m_soundQueueLock);
    m_soundQueues.play.push_back(sound);
}

void SWworld::QueueSoundStop(SWsound* sound)
{
    if (sound == nullptr)
        return;
    std::lock_guard guard(m_soundQueueLock);
    m_soundQueues.stop.push_back(sound);
}

void SWworld::QueueSoundLoad(SWsound* sound)
{
    if (sound == nullptr)
        return;
    std::lock_guard guard(m_soundQueueLock);
    m_soundQueues.load.push_back(sound);
}

SWworld::SoundQueues SWworld::TakeSoundQueues()
{
    std::lock_guard guard(m_soundQueueLock);
    return std::exchange(m_soundQueues, SoundQueues{});
}

// -- Textures and backgrounds

SWtexture* SWworld::FindTextureByName(std::string_view name) const
{
    for (SWtexture* t = m_rootObject->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t))
        if (t->GetName() == name)
            return t;
    return nullptr;
}

void SWworld::SetBilinear(uint8_t on)
{
    for (SWtexture* t = m_rootObject->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t)) {
        const uint32_t flags = t->GetTextureFlags();
        t->SetTextureFlags(on > 0 ? flags | SWtexture::kFlagBilinear : flags & ~SWtexture::kFlagBilinear);
    }
}

void SWworld::RedirectMaterials(SWtexture* old, SWtexture* replacement)
{
    for (SWmaterial* m = m_rootObject->GetFirstMaterial(); m != nullptr; m = SWrootobject::GetNextMaterial(m)) {
        if (m->GetTexture() == old)
            m->SetTexture(replacement);
        if (m->GetReflectionTexture() == old)
            m->SetReflectionTexture(replacement);
        if (m->GetBumpTexture() == old)
            m->SetBumpTexture(replacement);
    }
}

bool SWworld::RedirectBackground(SWtexture* old, SWtexture* replacement)
{
    SWbackground* definition = m_rootObject->GetBackground();
    if (definition == nullptr || definition->GetTexture() != old)
        return false;
    // The definition owns its image: it takes a copy of the replacement, and its old image goes with the swap.
    definition->SetTexture(CloneTextureObject(replacement));
    return true;
}

void SWworld::ReplaceTextureReferences(SWtexture* old, SWtexture* replacement, bool keep)
{
    if (old == nullptr || old == replacement)
        return;
    SWworldlock guard(*this);
    const std::string oldName = old->GetName();
    RedirectMaterials(old, replacement);
    for (SWnode* n = m_rootNode.get(); n != nullptr; n = n->NextInTree(m_rootNode.get())) {
        auto* hotspot = dynamic_cast<SWhotspot*>(n);
        if (hotspot == nullptr)
            continue;
        hotspot->ForgetTexture();
        if (hotspot->GetTextureName() == oldName)
            hotspot->SetTextureName(replacement != nullptr ? std::optional(replacement->GetName()) : std::nullopt);
    }
    for (SWtextureholder* holder : m_textureHolders)
        holder->ReplaceTexture(old, replacement);
    const bool oldWent = RedirectBackground(old, replacement);
    if (keep || oldWent) {
        if (oldWent)
            RaiseStructureGeneration();
        return;
    }
    const SWobjectlist* textures = m_rootObject->GetList(SWobjectlist::Kind::kTextures);
    if (textures != nullptr && old->GetParent() == textures) {
        old->Detach();
        delete old;
        RaiseStructureGeneration();
    }
}

void SWworld::RegisterTextureHolder(SWtextureholder* holder)
{
    if (holder != nullptr &&
        std::find(m_textureHolders.begin(), m_textureHolders.end(), holder) == m_textureHolders.end())
        m_textureHolders.push_back(holder);
}

void SWworld::UnregisterTextureHolder(SWtextureholder* holder)
{
    m_textureHolders.erase(std::remove(m_textureHolders.begin(), m_textureHolders.end(), holder),
                           m_textureHolders.end());
}

void SWworld::SetBackgroundTexture(const SWbackground* definition)
{
    if (!m_rootObject || definition == nullptr)
        return;
    SWworldlock guard(*this);
    auto copy = std::make_unique<SWbackground>(definition->GetColour());
    if (definition->GetTexture() != nullptr)
        copy->SetTexture(CloneTextureObject(definition->GetTexture()));
    copy->SetMode(definition->GetMode());
    m_backgroundCopy = std::move(copy);
}

void SWworld::RebuildBackground()
{
    SWworldlock guard(*this);
    const SWbackground* definition = m_rootObject->GetBackground();
    if (definition == nullptr) {
        m_backgroundCopy.reset();
        return;
    }
    SetBackgroundTexture(definition);
}

void SWworld::SetPart(WorldPart part, std::unique_ptr<SWworldpart> value)
{
    m_parts[static_cast<size_t>(part)] = std::move(value);
}

void SWworld::SetPixelSize(float width, float height)
{
    m_pixelWidth = width;
    m_pixelHeight = height;
}
