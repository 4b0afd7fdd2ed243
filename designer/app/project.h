#pragma once
// CVTND_Project: the project over the designer world: its texts, units and publishing options, the programs that
// made its scenes, and the scene files added to it, each with the merge record that says what it brought, so that
// removing or synchronising a file touches exactly that. Its file (".vtp") is written and read by project_file.cpp.
//
// Locks: the world's lock is always taken before the project's lock of the creating tools, never the other way
// round, so the publish worker, which holds the world's lock for its whole run, cannot wait on the user-interface
// thread in the other order.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "designer/app/app_component.h"
#include "engine/core/read_context.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world_file.h"

namespace pf {
class Window;
}
class CVTND_EditorSettings;
class CVTND_ExtendedWorld;
class SWbackground;
class SWdocumentfile;
class SWdocumentwriter;
class SWworld;

class CVTND_Project {
public:
    // What an added file keeps besides its entry: the merge record and the tools its header named.
    struct AddedFile {
        MergeRecord record;
        std::vector<std::string> tools;
    };

    // The world outlives the project; settings (may be null) are loaded now, creating missing values.
    CVTND_Project(CVTND_ExtendedWorld& world, CVTND_EditorSettings* settings);
    ~CVTND_Project();
    CVTND_Project(const CVTND_Project&) = delete;
    CVTND_Project& operator=(const CVTND_Project&) = delete;

    CVTND_ExtendedWorld& GetWorld() const { return m_world; }

    // -- Texts: a copy; null leaves the text as it is
    const std::optional<std::string>& GetObjectName() const { return m_objectName; }
    const std::optional<std::string>& GetAuthor() const { return m_author; }
    const std::optional<std::string>& GetOrganization() const { return m_organization; }
    void SetObjectName(const char* text);
    void SetAuthor(const char* text);
    void SetOrganization(const char* text);

    // -- Options
    uint8_t GetMetrics() const { return m_metrics; } // 0 mm, 1 cm, 2 m, 3 km, 4 in, 5 ft, 6 yd, 7 mi
    bool SetMetrics(uint8_t metrics);                // false for a value above 7 (nothing changes)
    uint8_t GetApplyToAll() const { return m_applyToAll; }
    void SetApplyToAll(uint8_t on) { m_applyToAll = on; }
    bool GetHtmlOption() const { return m_html; } // publishing also writes the HTML page
    void SetHtmlOption(bool on) { m_html = on; }

    // -- The creating tools, under their own lock (taken after the world's lock)
    std::vector<std::string> GetCreatingTools() const;
    void SetCreatingTools(std::vector<std::string> tools);
    std::mutex& GetToolsLock() const { return m_toolsLock; }

    // -- Added files
    CVTN_SubWorlds& GetAddedFiles() { return m_files; }
    const CVTN_SubWorlds& GetAddedFiles() const { return m_files; }
    AddedFile* FindAddedFile(const CVTN_SubWorld* entry);
    const AddedFile* FindAddedFile(const CVTN_SubWorld* entry) const;
    // An entry with its data as a project file gives it; owned here.
    CVTN_SubWorld* AppendAddedFile(std::optional<std::string> name, AddedFile data);

    // Adds the scene file at path (road step 1, the engine side): ".vto" names are refused with an error box; the
    // file is imported and merged under the world's lock, every new node, material, texture and sound announced;
    // the first file's header gives the texts; then the loaded background is offered. A file that does not read
    // adds nothing and is reported through the message box. Null when nothing was added.
    CVTN_SubWorld* AddSceneFile(const std::string& path, pf::Window* owner = nullptr);
    // Announces (code 2) every object the entry brought while it lives, lets the droppers forget them, removes them
    // and deletes the entry. False when the entry is not one of ours.
    bool RemoveSubWorld(CVTN_SubWorld* entry);
    // The project file's folder; empty while the project has none (the working folder). A relative name of an added
    // file is read from it, and so is a loadable world's that no added file brought; one that an added file brought
    // is read beside that file. Setting it places every loadable world of the world so.
    const std::string& GetFolder() const { return m_folder; }
    void SetFolder(std::string folder);
    std::string ScenePath(const CVTN_SubWorld& entry) const; // the entry's scene file, found as above
    // The added file whose merge record lists the object of kind: its very address where the record holds it, else
    // its name. Null when none does.
    const CVTN_SubWorld* FindAddedFileOf(MergedKind kind, const void* object, const std::string& name) const;
    // A project read from its file names its Java entries by name only: each entry of a record is bound to the
    // world's entry of that name in the order the files brought them, so that two files' entries of one name stay
    // their own.
    void BindJavaEntries();
    // Reads the entry's file again and brings what it brought up to date, by the entry's nine options; objects it
    // removes are announced first. A newer file gives a warning and goes on. False when the file does not read.
    bool SynchronizeSubWorld(pf::Window* owner, CVTN_SubWorld* entry);
    // Once the project is the application's, after it was opened: every file whose entry asks to be synchronised on
    // load. Answers how many were.
    size_t SynchronizeOnLoad(pf::Window* owner);
    // The world header: the project's texts, the counts (without the material preview sphere) and the creating
    // tools rebuilt from the added files; under the world's lock throughout.
    void UpdateWorldHeader();
    // After a file was added or synchronised: when import brings a background that differs from the project's, the
    // registered notice asks; on Yes the world takes it (import forgets it) and every renderer of the world draws it
    // from then on. False when nothing was taken.
    bool OfferLoadedBackground(SWworld& import, bool warning, pf::Window* owner = nullptr);

    // Every entry of the added files' merge records of kind that names object (by id when id is not 0, else by
    // object or name) follows a rename.
    void RenameMergeEntries(MergedKind kind, const void* object, uint32_t id, const std::string& oldName,
                            const std::string& newName);

    // Records of the project item whose handler this build lacks, kept as read and written back unchanged.
    struct KeptRecord {
        uint32_t tag = 0;
        std::vector<uint8_t> payload;
    };
    std::vector<KeptRecord>& GetKeptRecords() { return m_kept; }
    const std::vector<KeptRecord>& GetKeptRecords() const { return m_kept; }

    // -- The project file
    struct LoadResult {
        std::unique_ptr<CVTND_ExtendedWorld> world;
        std::unique_ptr<CVTND_Project> project;
        std::unique_ptr<CVTND_GradientStore> gradients;
        std::string message;           // on failure: the file and the cause; on success, a note for the user or empty
        bool damagedButOpened = false; // a record the project can do without was damaged and left out
        bool ok() const { return project != nullptr; }
    };
    // What opening a project may cost beyond its stored bytes (engine/core/read_context.h); a save is held to the
    // same, so that what is saved opens again. Process-wide; the engine's defaults unless a tool or test says.
    static SWreadlimits ReadLimits();
    static void SetReadLimits(const SWreadlimits& limits);
    // Reads path into a new world, project and gradient store; changes nothing of the application.
    static LoadResult LoadFile(const std::string& path, CVTND_EditorSettings* settings = nullptr);
    // The same for a file opened already (SWdocumentfile::OpenFile); one that changed on disk since fails whole.
    static LoadResult LoadOpenedFile(const SWdocumentfile& file, const std::string& path,
                                     CVTND_EditorSettings* settings = nullptr);
    // The same for bytes already in memory (name: for messages).
    static LoadResult LoadBytes(std::vector<uint8_t> bytes, const std::string& name,
                                CVTND_EditorSettings* settings = nullptr);
    // Reads what still frames of a file whose length or checksum is wrong (a copy cut short by a crash); an
    // intact file reads as LoadFile reads it.
    static LoadResult LoadDamagedFile(const std::string& path, CVTND_EditorSettings* settings = nullptr);
    // The file's bytes; false when they cannot be made (out of memory).
    bool WriteBytes(std::vector<uint8_t>& out, CVTND_GradientStore* gradients) const;
    // Writes through the atomic writer; a failure leaves the old file and is reported through the message box.
    bool SaveFile(const std::string& path, CVTND_GradientStore* gradients, pf::Window* owner = nullptr) const;
    // The same without the box: false with outError naming the path and the cause (the recovery copy's writer).
    bool WriteFile(const std::string& path, CVTND_GradientStore* gradients, std::string& outError) const;
    // WriteFile in its two halves: the document of what a save writes, made under the world's lock (null, with
    // outError, when it cannot be), and that document written to path, which needs nothing of the project and may
    // run on another thread.
    std::unique_ptr<SWdocumentwriter> MakeDocument(const std::string& path, CVTND_GradientStore* gradients,
                                                   std::string& outError) const;
    static bool WriteDocument(const std::string& path, SWdocumentwriter& document, std::string& outError);
    // What a save would write of parts (the project's own record always), as its checksum and length: two that
    // differ tell a change. None when it cannot be made (out of memory).
    std::optional<uint64_t> StoredForm(CVTND_GradientStore* gradients, const WorldWriteParts& parts = {}) const;
    // Every object of record (or of only) that removing it takes, announced deleted while it lives; resources only
    // without only.
    void AnnounceRemoved(const MergeRecord& record, const std::vector<MergeEntry>* only);

private:
    bool Synchronize(pf::Window* owner, CVTN_SubWorld* entry, bool onLoad);
    // Under the world's lock.
    bool WriteRecords(SWdocumentwriter& writer, CVTND_GradientStore* gradients,
                      const WorldWriteParts& parts = {}) const;
    void AnnounceMerged(const MergeRecord& record);
    void AnnounceGeometryReplaced(const MergeRecord& record, SWworld& import);

    CVTND_ExtendedWorld& m_world; // outlives the project
    std::string m_folder;
    std::optional<std::string> m_objectName;
    std::optional<std::string> m_author;
    std::optional<std::string> m_organization;
    uint8_t m_metrics = 2;
    uint8_t m_applyToAll = 1;
    bool m_html = true;
    mutable std::mutex m_toolsLock; // guards m_tools; taken after the world's lock
    std::vector<std::string> m_tools;
    CVTN_SubWorlds m_files;
    std::unordered_map<const CVTN_SubWorld*, AddedFile> m_fileData; // by entry of m_files
    std::vector<KeptRecord> m_kept;
};
