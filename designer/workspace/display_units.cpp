#include "designer/workspace/display_units.h"

#include <cmath>
#include <numbers>

#include "designer/workspace/number_text.h"

namespace {

float UnitFactor(int32_t unit)
{
    switch (static_cast<DisplayUnit>(unit)) {
    case DisplayUnit::kDegrees:
        return static_cast<float>(180.0 / std::numbers::pi);
    case DisplayUnit::kColour:
        return 255.0f;
    case DisplayUnit::kPercent:
        return 100.0f;
    case DisplayUnit::kPlain:
        break;
    }
    return 1.0f;
}

float InverseUnitFactor(int32_t unit)
{
    switch (static_cast<DisplayUnit>(unit)) {
    case DisplayUnit::kDegrees:
        return static_cast<float>(std::numbers::pi / 180.0);
    case DisplayUnit::kColour:
        return 1.0f / 255.0f;
    case DisplayUnit::kPercent:
        return 0.01f;
    case DisplayUnit::kPlain:
        break;
    }
    return 1.0f;
}

} // namespace

float ToDisplayUnits(int32_t unit, float value)
{
    return value * UnitFactor(unit);
}

float FromDisplayUnits(int32_t unit, float value)
{
    return value * InverseUnitFactor(unit);
}

std::string FormatInDisplayUnits(int32_t unit, float value)
{
    const double shown = ToDisplayUnits(unit, value);
    if (static_cast<DisplayUnit>(unit) != DisplayUnit::kDegrees || !std::isfinite(shown) || std::fabs(shown) > 1e9)
        return FormatNumberG(shown);
    const double rounded = std::round(shown * 1000.0) / 1000.0;
    return FormatNumberG(rounded == 0.0 ? 0.0 : rounded); // no "-0"
}
