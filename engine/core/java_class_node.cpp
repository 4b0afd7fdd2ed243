#include "engine/core/java_class_node.h"

SWjavaclassnode::SWjavaclassnode(std::string name, std::string classPath)
    : m_name(std::move(name)), m_classPath(std::move(classPath))
{
}

std::string SWjavaclassnode::GetClassName() const
{
    const size_t cut = m_classPath.find_last_of("/\\");
    return cut == std::string::npos ? m_classPath : m_classPath.substr(cut + 1);
}
