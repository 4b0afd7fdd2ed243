#pragma once
// SWexpressionlist: the world's expressions, each in an entry with an id that kind-35 actions and the editors use.
// The world keeps the list as one of its parts (made on first use).
//
// Records (the payload of the stream root's "72EX"), one per entry, lengths exact:
//   "72EN" { "7ESB" { u32 entry id; string text; string name; u32 target variable id (0: none) } }
// Ids are read through the document's id policy, so loaded ids raise the id counter and a duplicate gets a fresh
// id.
//
// Merging a file into a world moves its entries, which its kind-35 actions hold directly, into the target's list
// under names unique there ("%s_%d"); taking the merge out again removes them by id. A text is kept as written even
// when it does not compile (a node it names may come later, or be mended by the user); the expression compiles on first
// use. A damaged list loads nothing.
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/core/list.h"
#include "engine/core/list_node.h"
#include "engine/core/world.h"

class SWchunkstream;
class SWexpression;

class SWexpressionentry : public SWlistnode {
public:
    SWexpressionentry(std::unique_ptr<SWexpression> expression, uint32_t id);
    ~SWexpressionentry() override;

    SWexpression* GetExpression() const { return m_expression.get(); }
    uint32_t GetId() const { return m_id; }
    void SetId(uint32_t id) { m_id = id; } // the loader's, for a duplicate

    bool Save(SWchunkstream& out) const; // one "7ESB" record
    // Reads the records of one "72EN" payload into a new entry of world; null when damaged (in's status tells).
    static std::unique_ptr<SWexpressionentry> Load(SWworld* world, SWchunkstream& in);

private:
    std::unique_ptr<SWexpression> m_expression; // owned, never null
    uint32_t m_id;
};

class SWexpressionlist : public SWworldpart {
public:
    explicit SWexpressionlist(SWworld* world) : m_world(world) {}
    ~SWexpressionlist() override;

    static SWexpressionlist& Of(SWworld& world);         // the world's, made on first use
    static SWexpressionlist* Find(const SWworld& world); // null until made

    SWexpressionentry* Add(std::unique_ptr<SWexpression> expression); // a new entry with a new id; null for null
    // Unlinks and deletes entry, after deleting every argument of a kind-35 action that points at it. False: not
    // an entry of this list (nothing changed).
    bool Remove(SWexpressionentry* entry);
    // Unlinks entry, which the caller then owns; null when it is not an entry of this list. Actions that hold it
    // are left as they are: the caller moves the entry to the list of the world those actions go to.
    std::unique_ptr<SWexpressionentry> Unlink(SWexpressionentry* entry);
    void Append(std::unique_ptr<SWexpressionentry> entry);      // owned here; its expression resolves in our world
    SWexpressionentry* FindByName(std::string_view name) const; // byte for byte; unnamed never match
    SWexpressionentry* FindById(uint32_t id) const;
    bool Holds(const void* entry) const; // compares addresses only: safe for a pointer that may be stale
    const SWlist& Entries() const { return m_entries; }

    bool Save(SWchunkstream& out) const;
    // Appends the entries read; on damage (false) nothing is appended and the list stays as it was.
    bool Load(SWchunkstream& in);

private:
    SWworld* m_world; // owns this list
    SWlist m_entries; // of SWexpressionentry
};
