#include "designer/workspace/java_dlg.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/java_class_reader.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/workspace/list_panels.h"
#include "engine/core/java_class_node.h"
#include "platform/ui/frame/frame_window.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kClassExtension = ".class";

// The folder a Java entry's class is read from: that of the scene file that brought the entry, as the page that
// scene was published with would have it; an entry no added file brought, the project file's.
fs::path ClassFolder(const CVTND_Project* project, const SWjavaclassnode& entry)
{
    std::error_code error;
    fs::path folder = project != nullptr ? fs::path(project->GetFolder()) : fs::path();
    const CVTN_SubWorld* file =
        project != nullptr ? project->FindAddedFileOf(MergedKind::kJavaEntry, &entry, entry.GetName().value_or(""))
                           : nullptr;
    if (file != nullptr)
        folder = fs::path(project->ScenePath(*file)).parent_path();
    const fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : folder, error);
    return error ? folder : absolute.lexically_normal();
}

// The file name names within folder, links followed; nullopt, with why, for an absolute name or one that leads out
// of the folder, by "../" or through a link: a project from someone else may name any file of the person's.
std::optional<fs::path> WithinFolder(const fs::path& folder, const std::string& name, std::string& why)
{
    const fs::path path(name);
    if (path.is_absolute()) {
        why = "its path " + name + " is absolute, and a class is read only from within its scene's folder";
        return std::nullopt;
    }
    std::error_code error;
    const fs::path base = fs::weakly_canonical(folder, error);
    const fs::path file = error ? fs::path() : fs::weakly_canonical(base / path, error);
    if (error) {
        why = "its path " + name + " cannot be followed: " + error.message();
        return std::nullopt;
    }
    const auto [inBase, inFile] = std::mismatch(base.begin(), base.end(), file.begin(), file.end());
    if (inBase != base.end() || inFile == file.end()) {
        why = "its path " + name + " leads out of its scene's folder " + base.string();
        return std::nullopt;
    }
    return file;
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
    const fs::path folder = ClassFolder(m_app.GetProject(), *entry);
    const std::string& named = entry->GetClassPath();
    CVTND_JavaClass parsed;
    std::string reason;
    std::string path;
    bool read = false;
    if (const std::optional<fs::path> file = WithinFolder(folder, named, reason)) {
        path = file->string();
        read = CVTND_JavaClassReader::ReadFile(path, parsed, reason);
    }
    std::string second;
    const std::optional<fs::path> withExtension =
        read || named.ends_with(kClassExtension) ? std::nullopt : WithinFolder(folder, named + kClassExtension, second);
    if (withExtension && CVTND_JavaClassReader::ReadFile(withExtension->string(), parsed, second)) {
        read = true;
        path = withExtension->string();
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
