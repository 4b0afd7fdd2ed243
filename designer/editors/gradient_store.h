#pragma once
// CVTND_GradientPersinstancy: the particle editor's gradient (keys, their colours and places, a curve of 32 points)
// kept per particle system, so the editor shows the same gradient the next time it opens, also after the project
// was saved and opened again. The particle system itself keeps only the 64 colours the gradient computes.
//
// A store holds one project's records: a new project starts with an empty one, an opened project reads its records
// into a fresh one, and the old store goes with the old workspace. A record names its particle system through the
// scene node that carries it (a NodeRef resolved in the project's world, so a node that is gone resolves to none)
// and keeps a copy of the system's name from when it was attached, which it writes when the node is gone.
//
// Project records: one "PRW4" per present record (Write, Read); older files hold one "PRW3" with a count and records
// of an older layout (ReadOld), which are read as not present. A record not present is written as the single byte 0
// (Write) by older builds; it holds nothing, so the store neither keeps one it reads nor writes one.
//
// "PRW4" payload: u8 present (0 ends the record); string name; 64 x (u32 colour table entry, i32 key position,
// u32 key colour); 32 x (f32 curve value, i32 curve point position); u32 curve point count; u32 key count;
// i32 selected key; i32 selected curve point; u8 mouse capture (0 or 1); i32 left margin.
// "PRW3" record: string name; 64 x u32 colour table; 32 x u32 curve values; u32 curve point count; 64 x u32 key
// positions; 64 x u32 key colours; u32 key count.
#include <optional>
#include <string>

#include "designer/app/app_component.h"
#include "designer/workspace/gradient.h"
#include "engine/behaviour/refs.h"
#include "engine/core/list.h"

class CVTND_Gradient;
class SWchunkstream;
class SWnode;
class SWworld;

class CVTND_GradientPersinstancyNode : public SWlistnode {
public:
    bool IsPresent() const { return m_present; }
    const CVTND_GradientFields& GetFields() const { return m_fields; }
    const std::optional<std::string>& GetStoredName() const { return m_name; }
    const NodeRef& GetNode() const { return m_node; }
    SWnode* ResolveNode(const SWworld* world) const { return m_node.Get(world); }
    void Attach(const SWworld& world, SWnode* node); // keeps the node's name from now on
    // The name Write writes: the attached node's, else the kept one.
    std::string CurrentName(const SWworld* world) const;

    bool LoadIntoControl(CVTND_Gradient& control) const; // false when not present; the capture flag is not copied
    void StoreFromControl(const CVTND_Gradient& control);

    bool Write(SWchunkstream& out, const SWworld* world) const;
    // False: damaged (counts, selections or the length out of range); the record is then left not present.
    bool Read(SWchunkstream& in);
    bool ReadOld(SWchunkstream& in); // consumes one older record; never present

private:
    std::optional<std::string> m_name;
    bool m_present = false;
    CVTND_GradientFields m_fields = CVTND_GradientFields::Defaults();
    NodeRef m_node;
};

class CVTND_GradientPersinstancy : public CVTND_GradientStore {
public:
    ~CVTND_GradientPersinstancy() override { m_records.DeleteAll(); }

    // The record of the particle system that node carries: by node, then by the node's name (attaching it), then,
    // with create, a new empty one. Null without a node, or when nothing matched and create is off.
    CVTND_GradientPersinstancyNode* FindOrCreate(const SWworld& world, SWnode* node, bool create);
    CVTND_GradientPersinstancyNode* FindByName(const SWworld* world, const std::string& name) const;
    void RemoveObject(const SWworld& world, const SWnode* node); // deletes its record, when it has one
    void Append(CVTND_GradientPersinstancyNode* record) { m_records.AddTail(record); } // the store owns it
    size_t Count() const { return m_records.Count(); }
    CVTND_GradientPersinstancyNode* First() const
    {
        return static_cast<CVTND_GradientPersinstancyNode*>(m_records.Head());
    }
    static CVTND_GradientPersinstancyNode* Next(const CVTND_GradientPersinstancyNode* record)
    {
        return static_cast<CVTND_GradientPersinstancyNode*>(record->Next());
    }

    // The project item's records.
    bool WriteRecords(SWchunkstream& out, const SWworld* world) const; // one "PRW4" each present one
    bool ReadCurrent(SWchunkstream& payload); // one "PRW4"; kept when present; false: damaged, not kept
    bool ReadOldList(SWchunkstream& payload); // one "PRW3"; false: it was damaged

private:
    SWlist m_records; // of CVTND_GradientPersinstancyNode
};
