#include "engine/behaviour/variable_name.h"

#include <optional>
#include <string>

#include "engine/behaviour/property.h"

void SetStringMemberAt18(SWproperty* variable, const char* text)
{
    if (variable != nullptr)
        variable->SetName(text != nullptr ? std::optional<std::string>(text) : std::nullopt);
}
