#pragma once
// The units a value editor shows its value in. Values are stored in the engine's units (radians, channels 0..1,
// fractions) and converted only for the person reading them.
#include <cstdint>
#include <string>

enum class DisplayUnit : int32_t {
    kPlain = 0,
    kDegrees = 1, // stored in radians
    kColour = 2,  // stored 0..1, shown 0..255
    kPercent = 3, // stored as a fraction
};

float ToDisplayUnits(int32_t unit, float value);   // unknown units leave the value as it is
float FromDisplayUnits(int32_t unit, float value); // the inverse of ToDisplayUnits
// The value as its field shows it: "%g" of the display value; degrees to a thousandth, as radians stored with five
// decimals (1.25664) carry no finer degree than that (72, not 72.0002).
std::string FormatInDisplayUnits(int32_t unit, float value);
