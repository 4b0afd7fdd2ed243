#include "engine/behaviour/action_target.h"

#include "engine/core/data_node.h"

ActionTarget ActionTarget::Text(const char* text)
{
    ActionTarget target;
    if (text != nullptr)
        target.m_value = std::string(text);
    return target;
}

ActionTarget ActionTarget::Key(const SWkeyentry* key)
{
    ActionTarget target;
    if (key != nullptr)
        target.m_value = key;
    return target;
}

ActionTarget ActionTarget::Byte(uint8_t value)
{
    ActionTarget target;
    target.m_value = value;
    return target;
}

ActionTarget ActionTarget::Integer(int32_t value)
{
    ActionTarget target;
    target.m_value = value;
    return target;
}

ActionTarget ActionTarget::Object(SWnode* node)
{
    ActionTarget target;
    if (node != nullptr)
        target.m_value = node;
    return target;
}

const char* ActionTarget::GetText() const
{
    const auto* text = std::get_if<std::string>(&m_value);
    return text != nullptr ? text->c_str() : nullptr;
}

const SWkeyentry* ActionTarget::GetKey() const
{
    const auto* key = std::get_if<const SWkeyentry*>(&m_value);
    return key != nullptr ? *key : nullptr;
}

std::optional<uint8_t> ActionTarget::GetByte() const
{
    if (const auto* value = std::get_if<uint8_t>(&m_value))
        return *value;
    return std::nullopt;
}

std::optional<int32_t> ActionTarget::GetInteger() const
{
    if (const auto* value = std::get_if<int32_t>(&m_value))
        return *value;
    return std::nullopt;
}

SWnode* ActionTarget::GetObject() const
{
    const auto* node = std::get_if<SWnode*>(&m_value);
    return node != nullptr ? *node : nullptr;
}

ActionTarget ActionTarget::ExpressionEntry(const void* entry)
{
    ActionTarget target;
    if (entry != nullptr)
        target.m_value = EntryAddress{entry};
    return target;
}

const void* ActionTarget::GetExpressionEntry() const
{
    const auto* address = std::get_if<EntryAddress>(&m_value);
    return address != nullptr ? address->entry : nullptr;
}

ActionTarget TargetOfArgument(const SWdatanode& argument, int32_t kind)
{
    constexpr int32_t kExecuteExpressionKind = 35;
    switch (argument.GetType()) {
    case SWdatanode::kObject:
        return kind == kExecuteExpressionKind ? ActionTarget::ExpressionEntry(argument.GetData(SWdatanode::kObject))
                                              : ActionTarget();
    case SWdatanode::kString:
        return ActionTarget::Text(argument.GetText());
    case SWdatanode::kByte:
        return ActionTarget::Byte(*static_cast<const uint8_t*>(argument.GetData(SWdatanode::kByte)));
    case SWdatanode::kInt:
        return ActionTarget::Integer(*static_cast<const int32_t*>(argument.GetData(SWdatanode::kInt)));
    default:
        return {};
    }
}
