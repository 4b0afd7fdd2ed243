#pragma once
// The property fields: edits that take a property dropped on them (kPropertyDropped, wParam the control id, lParam
// the SWproperty) and show its reference as the property generator resolves it: "NODE:" and the node's name,
// "SOUND:" and the sound's name, or "RESOURCE:" and the Java class entry's name, then "." and the property's name.
// The owner comes from PropertyDragSource, which the field resets after the drop; an owner of another kind inserts
// nothing. Two classes, so that templates can name the tested property and the one it is compared with.
#include <optional>
#include <string>

#include "platform/ui/controls/edit.h"

class CVTND_Object;
class SWproperty;

class CVTND_PropertyField : public pf::Edit {
public:
    // The reference text of property under owner; none for an owner that is not a node, a sound or a Java entry.
    static std::optional<std::string> ReferenceText(const CVTND_Object& owner, const SWproperty& property);

protected:
    pf::LResult handle(const pf::Msg& msg) override;
};

class CVTND_PropertyToTest : public CVTND_PropertyField {
public:
    static constexpr const char* kClassName = "CVTND_PropertyToTest";
};

class CVTND_PropertyToCompareWith : public CVTND_PropertyField {
public:
    static constexpr const char* kClassName = "CVTND_PropertyToCompareWith";
};
