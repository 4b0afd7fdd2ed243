#pragma once
// CVTND_ExtendedWorld: the designer's world. Its renames refuse a name another object of the kind already has and
// keep every reference by name intact; its texture replacement tells the tool windows while the old texture still
// lives; the callbacks a running world makes to its host go to the designer's host (the 3D view).
//
// Renames run under the world's lock and answer false, changing nothing, when the new name is taken. Names compare
// byte for byte, events without regard to ASCII case; an event finds itself, so a change of letter case alone is
// refused. Each also rewrites the object's entries in the added files' merge records, which find resources of a
// reopened project by name. Success is broadcast (code 3) by the caller.
#include <string>

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
};
