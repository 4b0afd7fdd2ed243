#pragma once
// CVTND_ExtendedWorld: the designer's world. Its renames refuse a name another object of the kind already has and
// keep every reference by name intact; its texture replacement tells the tool windows while the old texture still
// lives; the callbacks a running world makes to its host go to the designer's host (the 3D view).
//
// Renames run under the world's lock and answer false, changing nothing, when the new name is taken. Names compare
// byte for byte, events without regard to ASCII case; an event finds itself, so a change of letter case alone is
// refused. Each also rewrites the object's entries in the added files' merge records, which find resources of a
// reopened project by name. Success is broadcast (code 3) by the caller.
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/world.h"

class CVTN_SubWorld;
class CVTN_ToolTip;
class CVTND_Project;
class CVTND_WorldHost;
class SWexpressionentry;
class SWmaterial;
class SWnode;

class CVTND_ExtendedWorld : public SWworld {
public:
    CVTND_ExtendedWorld() = default;
    ~CVTND_ExtendedWorld() override;

    // -- Host (set and cleared under the world's lock; not owned, it outlives its installation)
    void SetHost(CVTND_WorldHost* host);
    CVTND_WorldHost* GetHost() const { return m_host; }
    // The project whose added files' merge records follow renames; set by the project, cleared when it goes.
    void SetProject(CVTND_Project* project) { m_project = project; }
    CVTND_Project* GetProject() const { return m_project; }

    // Render thread, inside the frame step, under the world's lock: forwarded to the host; without one,
    // BeginMouseLook answers false and the rest do nothing.
    void JavaCallback(SWevent* event, const char* text1, const char* text2, const char* dataText) override;
    void SetCursor(const SWcursor* cursor) override;
    void HostMessage(const char* text) override;
    bool BeginMouseLook() override;
    void EndMouseLook() override;

    // In the application's world a replacement is announced (code 7: subject the old texture, first related object
    // the new one) before the engine's replacement runs; a null replacement, or a world being read or imported,
    // announces nothing here.
    void ReplaceTextureReferences(SWtexture* old, SWtexture* replacement, bool keep) override;

    // The preview's unload-world actions run on the render thread, where no window may be told of what goes. In the
    // application's world under a main frame each is queued instead, and the designer carries the queue out on the
    // user-interface thread (TakeUnloads), announcing each object while it lives. Any thread.
    struct PendingUnload {
        std::string entry; // by name: the entry may go before the queue is carried out
        bool all = false;
        bool resources = true;
    };
    void UnloadSubWorld(CVTN_SubWorld& entry, bool all, bool resources) override;
    std::vector<PendingUnload> TakeUnloads();

    // -- Renames (object, old name, new name)
    bool RenameNode(SWnode* node, const std::string& oldName, const std::string& newName);
    bool RenameMaterial(SWmaterial* material, const std::string& oldName, const std::string& newName);
    bool RenameSubWorld(CVTN_SubWorld* entry, const std::string& oldName, const std::string& newName);
    bool RenameExpression(SWexpressionentry* entry, const std::string& oldName, const std::string& newName);
    bool RenameCursor(SWcursor* cursor, const std::string& oldName, const std::string& newName);
    bool RenameTooltip(CVTN_ToolTip* tooltip, const std::string& oldName, const std::string& newName);
    bool RenameTexture(SWtexture* texture, const std::string& oldName, const std::string& newName);
    bool RenameEvent(SWevent* event, const std::string& oldName, const std::string& newName);

private:
    bool IsApplicationWorld() const;
    void MarkModified() const;

    CVTND_WorldHost* m_host = nullptr;  // the 3D view's
    CVTND_Project* m_project = nullptr; // owns nothing here; clears itself before it goes
    std::mutex m_unloadsLock;           // guards m_unloads
    std::vector<PendingUnload> m_unloads;
};
