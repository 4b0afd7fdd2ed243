#include "designer/app/project.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <tuple>
#include <unordered_set>

#include "designer/app/designer_app.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/preview_sphere_aside.h"
#include "designer/app/registry.h"
#include "designer/app/skipped_records.h"
#include "designer/app/startup.h"
#include "designer/app/user_message.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/header.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/resources/background.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "engine/resources/texture.h"
#include "engine/resources/tooltip.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"

namespace {

bool EndsWithPublishedExtension(const std::string& path)
{
    constexpr std::string_view kExtension = ".vto";
    if (path.size() < kExtension.size())
        return false;
    return std::equal(kExtension.begin(), kExtension.end(), path.end() - kExtension.size(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path as the file dialog gives it: a relative one would name another file, or none, once the designer starts
// from another folder.
std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string FolderOf(const std::string& path)
{
    return std::filesystem::path(AbsolutePath(path)).parent_path().string();
}

bool IsPowerOfTwo(int32_t side)
{
    return side > 0 && (side & (side - 1)) == 0;
}

// The texture stages sample only sides that are powers of two; any other texture draws black on its material and
// in the views, while its swatch shows it. The person hears of each when the file comes in, not from a black mesh.
void ReportUndrawableTextures(SWworld& world, const std::string& path, const MergeRecord& record)
{
    std::string lines;
    const MergedResourceLookup merged(world);
    for (const MergeEntry& entry : record.entries) {
        const SWtexture* texture = entry.kind == MergedKind::kTexture ? merged.Texture(entry) : nullptr;
        if (texture == nullptr || texture->GetWidth() <= 0 || texture->GetHeight() <= 0 ||
            (IsPowerOfTwo(texture->GetWidth()) && IsPowerOfTwo(texture->GetHeight())))
            continue;
        lines += "\n\"" + entry.name + "\" (" + std::to_string(texture->GetWidth()) + " x " +
                 std::to_string(texture->GetHeight()) + ")";
    }
    if (!lines.empty())
        ReportResource(
            {path + ": these textures draw black, because a side of each is not a power of two:" + lines, "Texture"});
}

// One line naming the file and the cause.
std::string ImportFailure(const std::string& path, const WorldLoadResult& import)
{
    return !import.message.empty() ? import.message : path + ": " + DocumentStatusText(import.status);
}

ResyncOptions OptionsOf(const CVTN_SubWorld& entry)
{
    ResyncOptions options;
    options.textures = entry.GetOption(CVTN_SubWorld::kTextures) != 0;
    options.materials = entry.GetOption(CVTN_SubWorld::kMaterials) != 0;
    options.hierarchy = entry.GetOption(CVTN_SubWorld::kHierarchy) != 0;
    options.transforms = entry.GetOption(CVTN_SubWorld::kTransforms) != 0;
    options.motion = entry.GetOption(CVTN_SubWorld::kMotion) != 0;
    options.objects = entry.GetOption(CVTN_SubWorld::kObjects) != 0;
    options.background = entry.GetOption(CVTN_SubWorld::kBackground) != 0;
    options.onLoad = entry.GetOption(CVTN_SubWorld::kOnLoad) != 0;
    options.keepRemoved = entry.GetOption(CVTN_SubWorld::kKeepRemoved) != 0;
    return options;
}

CVTN_ToolTip* TooltipOf(SWworld& world, const std::string& name)
{
    SWtooltips* tooltips = SWtooltips::Find(world);
    for (SWlistnode* n = tooltips != nullptr ? tooltips->GetList().Tail() : nullptr; n != nullptr; n = n->Prev()) {
        if (static_cast<CVTN_ToolTip*>(n)->GetName() == name)
            return static_cast<CVTN_ToolTip*>(n);
    }
    return nullptr;
}

// The object a merge entry names in the world, for the kinds found by id or by name; the last of a name, which is
// the one a removal takes. Empty for nodes and for what is gone.
CVTND_Object MergedObject(SWworld& world, const MergeEntry& entry)
{
    switch (entry.kind) {
    case MergedKind::kCursor:
        return CVTND_Object(world.GetCursorList().FindById(entry.id));
    case MergedKind::kEvent:
        return CVTND_Object(world.FindEventById(entry.id));
    case MergedKind::kSubWorld: {
        // The last of the name: a loaded world may hold an entry named as the project's own, which stays.
        CVTN_SubWorld* last = nullptr;
        for (CVTN_SubWorld* w = world.GetSubWorlds().GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w))
            if (w->GetName().value_or("") == entry.name)
                last = w;
        return CVTND_Object(last);
    }
    case MergedKind::kJavaEntry: {
        CVTND_Object object;
        object.InitJavaClass(MergedJavaEntry(world, entry));
        return object;
    }
    case MergedKind::kExpression: {
        SWexpressionlist* list = SWexpressionlist::Find(world);
        SWexpressionentry* found = list != nullptr ? list->FindById(entry.id) : nullptr;
        if (found == nullptr && list != nullptr && !entry.name.empty())
            found = list->FindByName(entry.name);
        return CVTND_Object(found);
    }
    case MergedKind::kTooltip: {
        CVTND_Object object;
        object.InitTooltip(TooltipOf(world, entry.name));
        return object;
    }
    default:
        return {};
    }
}

// The texture, material or sound a merge entry names.
CVTND_Object MergedResource(SWworld& world, const MergedResourceLookup& merged, const MergeEntry& entry)
{
    CVTND_Object object;
    if (entry.kind == MergedKind::kTexture)
        object.InitTexture(merged.Texture(entry));
    else if (entry.kind == MergedKind::kMaterial)
        object.InitMaterial(merged.Material(entry));
    else if (entry.kind == MergedKind::kSound)
        object = CVTND_Object(MergedSound(world, entry));
    return object;
}

void CollectChildrenFirst(SWnode& node, std::vector<SWnode*>& out)
{
    for (SWnode* child = node.GetFirstChildNode(); child != nullptr; child = child->GetNextSiblingNode())
        CollectChildrenFirst(*child, out);
    out.push_back(&node);
}

// Materials that a mesh drawn by a node outside the doomed subtrees still uses: RemoveMerged keeps those.
std::unordered_set<const SWmaterial*> MaterialsKept(SWworld& world, const std::vector<SWnode*>& doomed)
{
    const std::unordered_set<const SWnode*> going(doomed.begin(), doomed.end());
    std::unordered_set<const SWmaterial*> kept;
    SWnode* root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        const auto* mesh = going.count(n) == 0 ? dynamic_cast<const SWmesh*>(n->GetGeometry()) : nullptr;
        for (uint32_t p = 0; mesh != nullptr && p < mesh->GetPolygonCount(); ++p)
            kept.insert(mesh->GetPolygons()[p].material);
    }
    return kept;
}

bool SameBackground(const SWbackground* a, const SWbackground* b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    return a->GetTexture() == nullptr && b->GetTexture() == nullptr && a->GetColour() == b->GetColour();
}

} // namespace

CVTND_Project::CVTND_Project(CVTND_ExtendedWorld& world, CVTND_EditorSettings* settings) : m_world(world)
{
    if (settings != nullptr)
        settings->Load();
    m_world.SetProject(this);
}

CVTND_Project::~CVTND_Project()
{
    if (m_world.GetProject() == this)
        m_world.SetProject(nullptr);
}

void CVTND_Project::SetObjectName(const char* text)
{
    if (text != nullptr)
        m_objectName = std::string(text);
}

void CVTND_Project::SetAuthor(const char* text)
{
    if (text != nullptr)
        m_author = std::string(text);
}

void CVTND_Project::SetOrganization(const char* text)
{
    if (text != nullptr)
        m_organization = std::string(text);
}

bool CVTND_Project::SetMetrics(uint8_t metrics)
{
    if (metrics > 7)
        return false;
    m_metrics = metrics;
    return true;
}

std::vector<std::string> CVTND_Project::GetCreatingTools() const
{
    const std::lock_guard<std::mutex> lock(m_toolsLock);
    return m_tools;
}

void CVTND_Project::SetCreatingTools(std::vector<std::string> tools)
{
    const std::lock_guard<std::mutex> lock(m_toolsLock);
    m_tools = std::move(tools);
}

CVTND_Project::AddedFile* CVTND_Project::FindAddedFile(const CVTN_SubWorld* entry)
{
    const auto found = m_fileData.find(entry);
    return found != m_fileData.end() ? &found->second : nullptr;
}

const CVTND_Project::AddedFile* CVTND_Project::FindAddedFile(const CVTN_SubWorld* entry) const
{
    const auto found = m_fileData.find(entry);
    return found != m_fileData.end() ? &found->second : nullptr;
}

void CVTND_Project::SetFolder(std::string folder)
{
    m_folder = std::move(folder);
    const SWworldlock lock(m_world); // the render thread reads the folders as a running world loads
    CVTN_SubWorldLoader::Of(m_world).SetBaseFolder(m_folder);
    for (CVTN_SubWorld* w = m_world.GetSubWorlds().GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w)) {
        const CVTN_SubWorld* file =
            w->GetName() ? FindAddedFileOf(MergedKind::kSubWorld, nullptr, *w->GetName()) : nullptr;
        w->SetFolder(file != nullptr ? FolderOf(ScenePath(*file)) : m_folder);
    }
}

std::string CVTND_Project::ScenePath(const CVTN_SubWorld& entry) const
{
    const std::string name = entry.GetFileName().value_or("");
    if (name.empty() || m_folder.empty() || std::filesystem::path(name).is_absolute())
        return name;
    return (std::filesystem::path(m_folder) / name).lexically_normal().string();
}

const CVTN_SubWorld* CVTND_Project::FindAddedFileOf(MergedKind kind, const void* object, const std::string& name) const
{
    for (const CVTN_SubWorld* file = m_files.GetFirst(); file != nullptr; file = CVTN_SubWorlds::GetNext(file)) {
        const AddedFile* data = FindAddedFile(file);
        if (data == nullptr)
            continue;
        for (const MergeEntry& merged : data->record.entries) {
            const bool same =
                object != nullptr && merged.object != nullptr ? merged.object == object : merged.name == name;
            if (merged.kind == kind && same)
                return file;
        }
    }
    return nullptr;
}

void CVTND_Project::BindJavaEntries()
{
    std::unordered_set<const void*> bound;
    for (const auto& [entry, data] : m_fileData)
        for (const MergeEntry& merged : data.record.entries)
            if (merged.kind == MergedKind::kJavaEntry && merged.object != nullptr)
                bound.insert(merged.object);
    for (CVTN_SubWorld* file = m_files.GetFirst(); file != nullptr; file = CVTN_SubWorlds::GetNext(file)) {
        for (MergeEntry& merged : m_fileData[file].record.entries) {
            if (merged.kind != MergedKind::kJavaEntry || merged.object != nullptr)
                continue;
            for (SWlistnode* j = m_world.GetJavaClasses().Head(); j != nullptr; j = j->Next()) {
                const auto* java = static_cast<const SWjavaclassnode*>(j);
                if (java->GetName().value_or("") == merged.name && bound.insert(java).second) {
                    merged.object = java;
                    break;
                }
            }
        }
    }
}

CVTN_SubWorld* CVTND_Project::AppendAddedFile(std::optional<std::string> name, AddedFile data)
{
    CVTN_SubWorld* entry = m_files.Add(std::move(name));
    m_fileData[entry] = std::move(data);
    return entry;
}

// -- Announcements

void CVTND_Project::AnnounceMerged(const MergeRecord& record)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app == nullptr || app->GetWorld() != &m_world)
        return;
    const MergedResourceLookup merged(m_world);
    for (const MergeEntry& entry : record.entries) {
        CVTND_Object object;
        if (entry.kind == MergedKind::kNode)
            object.InitFromNode(m_world.GetRootNode()->FindById(entry.id));
        else
            object =
                IsMergedResource(entry.kind) ? MergedResource(m_world, merged, entry) : MergedObject(m_world, entry);
        if (object.GetObject() != nullptr)
            app->AnnounceObject(object);
    }
}

// Every object of record (or of only, when given) that removal will take, announced deleted while it lives and
// forgotten by the droppers: nodes with what goes with their subtree, children first; events after their actions.
void CVTND_Project::AnnounceRemoved(const MergeRecord& record, const std::vector<MergeEntry>* only)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app == nullptr || app->GetWorld() != &m_world)
        return;
    const std::vector<MergeEntry>& entries = only != nullptr ? *only : record.entries;
    std::vector<CVTND_Object> going;
    std::vector<SWnode*> doomed;
    std::unordered_set<const SWnode*> listed;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        SWnode* node = entry->kind == MergedKind::kNode ? m_world.GetRootNode()->FindById(entry->id) : nullptr;
        if (node == nullptr || node == m_world.GetRootNode() || listed.count(node) != 0)
            continue;
        std::vector<SWnode*> subtree;
        CollectChildrenFirst(*node, subtree);
        for (SWnode* n : subtree) {
            if (listed.insert(n).second) {
                doomed.push_back(n);
                going.emplace_back(n);
            }
        }
    }
    const bool resources = only == nullptr;
    const std::unordered_set<const SWmaterial*> kept = MaterialsKept(m_world, doomed);
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const CVTND_Object object = MergedObject(m_world, *entry);
        if (object.GetObject() == nullptr)
            continue;
        if (object.IsType(ObjectType::kEvent)) {
            const auto* event = static_cast<const SWevent*>(object.GetObject());
            for (SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
                going.emplace_back(a);
        }
        going.push_back(object);
    }
    const MergedResourceLookup merged(m_world);
    for (auto entry = entries.rbegin(); resources && entry != entries.rend(); ++entry) {
        const CVTND_Object object = MergedResource(m_world, merged, *entry);
        const bool materialStays =
            object.IsType(ObjectType::kMaterial) && kept.count(static_cast<const SWmaterial*>(object.GetObject())) != 0;
        if (object.GetObject() != nullptr && !materialStays)
            going.push_back(object);
    }
    for (const CVTND_Object& object : going) {
        CVTND_Event deleted(EventCode::kDeleted, object);
        if (object.IsType(ObjectType::kAction))
            deleted.related[0] = CVTND_Object(static_cast<SWactionnode*>(object.GetObject())->GetEvent());
        app->Broadcast(deleted);
    }
    for (const CVTND_Object& object : going)
        app->ForgetDeleted(object, 0);
}

// The recorded nodes whose drawing a synchronisation that takes the file's objects replaces, as it matches them,
// announced while the old geometry lives: an editor holding it lets go.
void CVTND_Project::AnnounceGeometryReplaced(const MergeRecord& record, SWworld& import)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app == nullptr || app->GetWorld() != &m_world)
        return;
    for (const MergeEntry& entry : record.entries) {
        if (entry.kind != MergedKind::kNode || entry.nameInFile.empty())
            continue;
        SWnode* node = m_world.GetRootNode()->FindById(entry.id);
        const SWnode* source = import.GetRootNode()->FindByName(entry.nameInFile);
        if (node == nullptr || source == nullptr || node->GetGeometry() == nullptr || source->GetGeometry() == nullptr)
            continue;
        CVTND_Event replaced(EventCode::kChanged, CVTND_Object(node));
        replaced.detail = static_cast<uint32_t>(EventDetail::kGeometryReplaced);
        app->Broadcast(replaced);
    }
}

// -- Added files

CVTN_SubWorld* CVTND_Project::AddSceneFile(const std::string& path, pf::Window* owner)
{
    if (EndsWithPublishedExtension(path)) {
        ShowUserMessage(owner, "A published file cannot be added to a project:\n" + path, pf::MB_ICONHAND);
        return nullptr;
    }
    WorldLoadResult import = ImportWorld(path);
    if (import.status != DocumentStatus::kOk || import.world == nullptr) {
        ShowUserMessage(owner, ImportFailure(path, import), pf::MB_ICONHAND);
        return nullptr;
    }
    ReportSkippedRecords(path, import.skipped);
    AddedFile data;
    if (const SWheader* header = import.world->GetRootObject()->FindHeader())
        data.tools = header->GetCreatingTools();
    const std::string stored = AbsolutePath(path); // what the file dialog gives
    data.record = MergeWorld(m_world, *import.world, MergeOptions(), stored);
    ReportUndrawableTextures(m_world, path, data.record);
    CVTN_SubWorld* entry = AppendAddedFile(BaseName(path), std::move(data));
    entry->SetFileName(stored);
    // The scene's header names the scene, not the project: the project keeps its own name, author and organisation.
    AnnounceMerged(FindAddedFile(entry)->record);
    OfferLoadedBackground(*import.world, false, owner);
    if (CVTNDesignerApp* app = GetDesignerApp(); app != nullptr && app->GetWorld() == &m_world)
        app->SetModified();
    return entry;
}

bool CVTND_Project::RemoveSubWorld(CVTN_SubWorld* entry)
{
    AddedFile* data = FindAddedFile(entry);
    if (data == nullptr)
        return false;
    AnnounceRemoved(data->record, nullptr);
    RemoveMerged(m_world, data->record);
    m_fileData.erase(entry);
    m_files.Remove(entry);
    if (CVTNDesignerApp* app = GetDesignerApp(); app != nullptr && app->GetWorld() == &m_world)
        app->SetModified();
    return true;
}

bool CVTND_Project::SynchronizeSubWorld(pf::Window* owner, CVTN_SubWorld* entry)
{
    return Synchronize(owner, entry, false);
}

bool CVTND_Project::Synchronize(pf::Window* owner, CVTN_SubWorld* entry, bool onLoad)
{
    AddedFile* data = FindAddedFile(entry);
    if (data == nullptr || !entry->GetFileName())
        return false;
    const std::string path = ScenePath(*entry);
    WorldLoadResult import = ImportWorld(path);
    if (import.status != DocumentStatus::kOk || import.world == nullptr) {
        // Opening, the cause alone read as if the project had not opened.
        ShowUserMessage(owner,
                        onLoad ? "Synchronising a scene file as the project opened failed:\n" +
                                     ImportFailure(path, import) +
                                     "\nThe project opened with that scene as it was last saved."
                               : ImportFailure(path, import),
                        pf::MB_ICONHAND);
        return false;
    }
    if (import.newer)
        ShowUserMessage(owner, path + " was written by a newer version; what this version does not know is left out.",
                        pf::MB_ICONEXCLAMATION);
    ReportSkippedRecords(path, import.skipped);
    // A file synchronised as it stood when last merged changes nothing a save would write: the project stays as it
    // was, unmodified when it was.
    CVTNDesignerApp* app = GetDesignerApp();
    const bool current = app != nullptr && app->GetWorld() == &m_world;
    const std::optional<uint64_t> formBefore = current ? StoredForm(app->GetGradientStore()) : std::nullopt;
    const ResyncOptions options = OptionsOf(*entry);
    if (!options.keepRemoved) {
        std::vector<MergeEntry> missing;
        for (const MergeEntry& recorded : data->record.entries) {
            const bool inFile =
                !recorded.nameInFile.empty() && import.world->GetRootNode()->FindByName(recorded.nameInFile) != nullptr;
            if (recorded.kind == MergedKind::kNode && !inFile)
                missing.push_back(recorded);
        }
        AnnounceRemoved(data->record, &missing);
    }
    if (options.objects)
        AnnounceGeometryReplaced(data->record, *import.world);
    // What the record held before: the removal of what the file lost takes entries out before the new ones join,
    // so the new ones are those the record did not hold, not those past its former length.
    std::set<std::tuple<MergedKind, uint32_t, std::string>> before;
    for (const MergeEntry& recorded : data->record.entries)
        before.emplace(recorded.kind, recorded.id, recorded.name);
    Resynchronise(m_world, *import.world, data->record, options);
    ReportUndrawableTextures(m_world, path, data->record);
    MergeRecord added;
    for (const MergeEntry& recorded : data->record.entries) {
        if (before.count({recorded.kind, recorded.id, recorded.name}) == 0)
            added.entries.push_back(recorded);
    }
    AnnounceMerged(added);
    if (options.background)
        OfferLoadedBackground(*import.world, true, owner);
    if (current) {
        if (!formBefore || StoredForm(app->GetGradientStore()) != formBefore)
            app->SetModified();
        if (options.transforms) // the file's placements: what shows a node's transform reads it again
            app->Broadcast(CVTND_Event(EventCode::kChanged, CVTND_Object(m_world.GetRootNode())));
    }
    return true;
}

size_t CVTND_Project::SynchronizeOnLoad(pf::Window* owner)
{
    std::vector<CVTN_SubWorld*> asking;
    for (CVTN_SubWorld* entry = m_files.GetFirst(); entry != nullptr; entry = CVTN_SubWorlds::GetNext(entry)) {
        if (entry->GetOption(CVTN_SubWorld::kOnLoad) != 0)
            asking.push_back(entry);
    }
    size_t synchronised = 0;
    for (CVTN_SubWorld* entry : asking)
        synchronised += Synchronize(owner, entry, true) ? 1 : 0;
    if (CVTNDesignerApp* app = GetDesignerApp(); synchronised != 0 && app != nullptr && app->GetWorld() == &m_world)
        app->RedrawEventMaps();
    m_world.Invalidate(false);
    return synchronised;
}

void CVTND_Project::UpdateWorldHeader()
{
    // The world's lock first and throughout: the publish worker holds it while it reads the tools.
    SWworldlock lock(m_world);
    SWheader& header = m_world.GetRootObject()->GetHeader();
    header.SetObjectName(m_objectName);
    header.SetAuthor(m_author);
    header.SetOrganization(m_organization);
    uint32_t meshes = 0;
    uint32_t vertices = 0;
    uint32_t polygons = 0;
    for (SWgeometry* g = m_world.GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling())) {
        if (IsPreviewSphere(g))
            continue;
        if (const auto* mesh = dynamic_cast<const SWmesh*>(g)) {
            ++meshes;
            vertices += mesh->GetVertexCount();
            polygons += mesh->GetPolygonCount();
        }
    }
    uint32_t materials = 0;
    for (SWmaterial* m = m_world.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
        ++materials;
    uint32_t textures = 0;
    for (SWtexture* t = m_world.GetRootObject()->GetFirstTexture(); t; t = SWrootobject::GetNextTexture(t))
        ++textures;
    header.SetCounts(meshes, vertices, materials, textures, polygons);
    std::vector<std::string> tools;
    for (CVTN_SubWorld* entry = m_files.GetFirst(); entry != nullptr; entry = CVTN_SubWorlds::GetNext(entry)) {
        for (const std::string& tool : m_fileData[entry].tools) {
            if (std::find(tools.begin(), tools.end(), tool) == tools.end())
                tools.push_back(tool);
        }
    }
    header.SetCreatingTools(tools);
    SetCreatingTools(std::move(tools));
}

bool CVTND_Project::OfferLoadedBackground(SWworld& import, bool warning, pf::Window* owner)
{
    SWbackground* loaded = import.GetRootObject()->GetBackground();
    if (loaded == nullptr || SameBackground(m_world.GetRootObject()->GetBackground(), loaded))
        return false;
    const ModalTool notice =
        warning && loaded->GetTexture() != nullptr ? ModalTool::kLoadedBackgroundWarning : ModalTool::kLoadedBackground;
    const CVTND_ModalToolRun run = CVTND_Registry::FindModalTool(notice);
    CVTNDesignerApp* app = GetDesignerApp();
    // A program without windows, such as the project tool, has nobody to ask: the project keeps its background.
    if (run == nullptr || app == nullptr || !pf::hasUi())
        return false;
    CVTND_ModalRequest request;
    request.owner = owner;
    request.background = loaded;
    if (run(*app, request) != pf::IDYES)
        return false;
    {
        SWworldlock lock(m_world);
        loaded->Detach(); // the import forgets it
        std::unique_ptr<SWbackground> taken(loaded);
        m_world.SetBackgroundTexture(taken.get());
        m_world.GetRootObject()->SetBackground(std::move(taken));
        // Every window with a renderer, shown or not: each held the definition just deleted.
        for (const std::unique_ptr<SWwindow>& window : m_world.GetWindows())
            if (SWwindowrenderer* renderer = window->GetRenderer())
                renderer->SetBackground(loaded);
    }
    if (CVTND_Designer* designer = CVTND_Designer::Current())
        designer->KeepProjectBackground(m_world);
    m_world.Invalidate(false);
    return true;
}

void CVTND_Project::RenameMergeEntries(MergedKind kind, const void* object, uint32_t id, const std::string& oldName,
                                       const std::string& newName)
{
    for (auto& [entry, data] : m_fileData) {
        for (MergeEntry& merged : data.record.entries) {
            if (merged.kind != kind)
                continue;
            const bool same = id != 0 ? merged.id == id
                                      : (merged.object != nullptr ? merged.object == object : merged.name == oldName);
            if (same)
                merged.name = newName;
        }
    }
}
