#pragma once
// SWjavaclassnode: a Java class the world's page talks to, with the user's variables on it (named "RESOURCE:" in
// qualified variable names).
#include <optional>
#include <string>

#include "engine/behaviour/properties.h"
#include "engine/core/list_node.h"

class SWjavaclassnode : public SWlistnode, public SWproperties2 {
public:
    SWjavaclassnode() = default;
    explicit SWjavaclassnode(std::string name, std::string classPath = {});

    const std::optional<std::string>& GetName() const { return m_name; }
    void SetName(std::optional<std::string> name) { m_name = std::move(name); }
    const std::string& GetClassPath() const { return m_classPath; }
    void SetClassPath(std::string path) { m_classPath = std::move(path); }
    std::string GetClassName() const; // the file-name part: after the last slash or backslash

private:
    std::optional<std::string> m_name;
    std::string m_classPath;
};
