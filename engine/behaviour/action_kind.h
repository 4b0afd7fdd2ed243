#pragma once
// The catalogue of action kinds: 13 categories of kinds, each kind with its display name, id, handler, two texts
// and a listed byte (0 hides it from the actions panel; it can still be created by id). The events build it once
// and keep it for their lifetime.
//
// Handlers and motion creators come from two registries that each part of the runtime fills at start-up from
// namespace-scope statics, so the catalogue never names a handler of a later part.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/behaviour/action_target.h"
#include "engine/core/list.h"

class SWevent;
class SWevents;
class SWmotion;
class SWworld;

// Handlers act on the world and answer nothing the caller uses.
using ActionHandler = void (*)(SWevent* event, SWevents* world, const ActionTarget& target,
                               const ActionSubject& subject);
using MotionCreator = SWmotion* (*)(SWworld* world); // the template motion of a kind; caller owns

class SWactionkind : public SWlistnode {
public:
    SWactionkind() = default;
    SWactionkind(const SWactionkind&) = default;

    const std::optional<std::string>& GetName() const { return m_name; }
    void SetName(std::optional<std::string> name) { m_name = std::move(name); }
    ActionHandler GetHandler() const { return m_handler; }
    void SetHandler(ActionHandler handler) { m_handler = handler; }
    int32_t GetKindId() const { return m_kindId; }
    void SetKindId(int32_t id) { m_kindId = id; }
    const std::optional<std::string>& GetFirstText() const { return m_text1; }
    void SetFirstText(std::optional<std::string> text) { m_text1 = std::move(text); }
    const std::optional<std::string>& GetParameter() const { return m_text2; } // the second text
    void SetParameter(std::optional<std::string> text) { m_text2 = std::move(text); }
    bool IsListed() const { return m_listed != 0; }
    void SetListed(uint8_t listed) { m_listed = listed; }

private:
    std::optional<std::string> m_name;
    ActionHandler m_handler = nullptr;
    int32_t m_kindId = 0;
    std::optional<std::string> m_text1;
    std::optional<std::string> m_text2;
    uint8_t m_listed = 1;
};

class SWactioncategory : public SWlistnode {
public:
    explicit SWactioncategory(std::string name) : m_name(std::move(name)) {}
    const std::string& GetName() const { return m_name; }
    SWactionkind* GetFirstKind() const { return static_cast<SWactionkind*>(m_kinds.Head()); }
    SWactionkind* GetLastKind() const { return static_cast<SWactionkind*>(m_kinds.Tail()); }
    size_t CountKinds() const { return m_kinds.Count(); }
    void AddKind(SWactionkind* kind) { m_kinds.AddTail(kind); } // owned from now on

private:
    std::string m_name;
    SWlist m_kinds; // of SWactionkind
};

class SWactioncategories {
public:
    SWactioncategories() = default;
    SWactioncategories(const SWactioncategories&) = delete;
    SWactioncategories& operator=(const SWactioncategories&) = delete;

    void Build(); // the catalogue in its fixed order, handlers from the registry; an earlier one is replaced
    SWactionkind* FindKind(int32_t kindId) const; // first of that id across all categories, or null
    SWactioncategory* GetFirstCategory() const { return static_cast<SWactioncategory*>(m_categories.Head()); }
    size_t CountCategories() const { return m_categories.Count(); }
    size_t CountKinds() const;

private:
    SWlist m_categories; // of SWactioncategory
};

// Registers a handler or motion creator for the life of the process; call from a namespace-scope static.
bool RegisterActionHandler(int32_t kindId, ActionHandler handler);
bool RegisterMotionCreator(int32_t kindId, MotionCreator creator);
ActionHandler FindActionHandler(int32_t kindId); // null when none is registered
MotionCreator FindMotionCreator(int32_t kindId);
std::vector<int32_t> ListMotionCreatorKinds(); // the kinds with a motion creator, ascending
bool ActionKindNamesNodes(int32_t kindId);     // its string arguments are names of nodes of the world's tree
