#include "designer/workspace/java_dlg.h"

#include <filesystem>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/java_class_reader.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/workspace/list_panels.h"
#include "engine/core/java_class_node.h"
#include "platform/ui/frame/frame_window.h"

namespace {

constexpr const char* kClassExtension = ".class";

// A relative class path names the file from the folder of the scene file that brought the entry, as the page that
// scene was published with would; an entry no added file brought keeps its path as it is.
std::string ClassFilePath(const CVTND_Project* project, const SWjavaclassnode& entry)
{
    const std::filesystem::path path = entry.GetClassPath();
    if (project == nullptr || path.is_absolute())
        return path.string();
    const std::string name = entry.GetName().value_or("");
    const CVTN_SubWorlds& files = project->GetAddedFiles();
    for (const CVTN_SubWorld* file = files.GetFirst(); file != nullptr; file = CVTN_SubWorlds::GetNext(file)) {
        const CVTND_Project::AddedFile* data = project->FindAddedFile(file);
        if (data == nullptr || !file->GetFileName())
            continue;
        for (const MergeEntry& merged : data->record.entries) {
            if (merged.kind == MergedKind::kJavaEntry && merged.name == name)
                return (std::filesystem::path(*file->GetFileName()).parent_path() / path).string();
        }
    }
    return path.string();
}

} // namespace

CVTND_JavaDlg::CVTND_JavaDlg(CVTNDesignerApp& app) : CVTND_TreePanelDlg(app, PanelRole::kJava, panel_ids::kJava) {}

void CVTND_JavaDlg::Empty()
{
    CVTND_TreePanelDlg::Empty();
    m_methods.clear();
    TakeNoteBack(); // a refill says it again for an entry still there
}

void CVTND_JavaDlg::TakeNoteBack()
{
    if (m_note.empty())
        return;
    if (auto* frame = dynamic_cast<pf::FrameWindow*>(m_app.GetMainFrame()))
        if (pf::StatusBar* bar = frame->statusBar(); bar != nullptr && bar->paneText(0) == m_note)
            bar->setText(0, m_noteBefore);
    m_note.clear();
    m_noted = nullptr;
}

void CVTND_JavaDlg::Fill(CVTND_ExtendedWorld& world)
{
    for (SWlistnode* node = world.GetJavaClasses().Head(); node != nullptr; node = node->Next())
        AddEntry(static_cast<SWjavaclassnode*>(node));
}

void CVTND_JavaDlg::AddEntry(SWjavaclassnode* entry)
{
    CVTND_Object object;
    object.InitJavaClass(entry);
    const std::string title = entry->GetClassName().empty() ? entry->GetName().value_or("") : entry->GetClassName();
    UseObjectImages();
    const pf::TreeItem item = InsertEntry(pf::TVI_ROOT, object, title, SmallObjectImage(4));
    if (item == 0 || entry->GetClassPath().empty())
        return;
    // The world keeps the path as the page names the class; the file itself may carry the extension.
    std::string path = ClassFilePath(m_app.GetProject(), *entry);
    CVTND_JavaClass parsed;
    std::string reason;
    bool read = CVTND_JavaClassReader::ReadFile(path, parsed, reason);
    if (!read && !path.ends_with(kClassExtension)) {
        std::string second;
        if (CVTND_JavaClassReader::ReadFile(path + kClassExtension, parsed, second)) {
            read = true;
            path += kClassExtension;
        }
    }
    if (!read) {
        if (auto* frame = dynamic_cast<pf::FrameWindow*>(m_app.GetMainFrame()))
            if (pf::StatusBar* bar = frame->statusBar()) {
                if (m_note.empty() || bar->paneText(0) != m_note)
                    m_noteBefore = bar->paneText(0);
                m_note = "The class " + title + " lists no methods: " + reason;
                bar->setText(0, m_note);
            }
        m_noted = entry;
        return;
    }
    for (const CVTND_JavaClassMethod& method : parsed.methods) {
        auto methodItem = std::make_unique<CVTND_JavaMethodItem>();
        methodItem->method.name = method.name;
        methodItem->method.classEntry = entry;
        methodItem->descriptor = method.descriptor;
        methodItem->classPath = path;
        InsertEntry(item, CVTND_Object(ObjectType::kJavaPanelItem, methodItem.get()), method.name + method.descriptor);
        m_methods.push_back(std::move(methodItem));
    }
}

void CVTND_JavaDlg::OnObjectEvent(const CVTND_Event& event)
{
    if (!event.subject.IsType(ObjectType::kResourceItem))
        return;
    if (event.Is(EventCode::kDeleted)) {
        if (event.subject.GetObject() == m_noted)
            TakeNoteBack();
        RemoveObject(event.subject.GetObject()); // its methods' items go with it; their records stay till a refill
    } else {
        Refill();
    }
}

bool CVTND_JavaDlg::IsDraggable(const CVTND_Object& object) const
{
    return object.IsType(ObjectType::kJavaPanelItem);
}
