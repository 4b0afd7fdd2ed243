#pragma once
// CVTND_ExpressionEditorDlg: the editor of an expression over object properties, its target property and its name
// (kind 9). It opens on an entry of the world's expression list through the editor factory, which keeps its record
// (the editor holds none), or on no entry through the object factory's creator of type 9, with no record and so no
// notifications. Nothing of the world changes until OK, which compiles the text only to check it: an entry keeps
// its expression object, which takes the new text, target and name in place; a new expression joins the list.
// Properties dragged from the properties panel land at the caret of the text or replace the target.
#include <memory>
#include <string>

#include "designer/workspace/modeless_editor.h"

struct CVTND_EditorRequest;
class SWexpression;
class SWexpressionentry;
class SWproperty;

class CVTND_ExpressionEditorDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 196;
    static constexpr int32_t kIdName = 1004;
    static constexpr int32_t kIdText = 1147;
    static constexpr int32_t kIdTarget = 1149;
    static constexpr size_t kMaxReferenceBytes = 1024;

    explicit CVTND_ExpressionEditorDlg(SWexpressionentry* entry); // null: a new expression
    ~CVTND_ExpressionEditorDlg() override;
    static pf::Window* Make(const CVTND_EditorRequest& request); // the factory's: an entry, or none for a new one

    SWexpressionentry* Entry() const { return static_cast<SWexpressionentry*>(EditedObject()); }
    bool IsNewExpression() const { return m_isNew; }
    // The reference the editor writes for property when the properties panel shows owner: "NODE:node.property" for
    // scene nodes, "SOUND:sound.property" for sounds, at most kMaxReferenceBytes; empty for any other owner.
    static std::string ReferenceOf(const CVTND_Object& owner, const SWproperty& property);

protected:
    bool onInitDialog() override;
    bool Validate() override;
    void Apply() override;
    void OnNotify(const CVTND_Event& event) override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void OnPropertyDropped(int32_t controlId, const SWproperty* property);

    bool m_isNew;
    // What Validate read and checked, for Apply.
    std::string m_text;
    std::string m_target;
    std::string m_name;
    SWproperty* m_resolved = nullptr; // the world's
    std::unique_ptr<SWexpression> m_compiled;
};
