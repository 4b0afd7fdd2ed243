#pragma once
// The families of `vortan-codec` (image, mesh, sound) register their commands at start-up.
#include <span>
#include <string>

struct CodecToolCommand {
    const char* family;                      // first argument: "image", "mesh", "sound"
    const char* name;                        // second argument: "encode", "decode", ...
    const char* usage;                       // the arguments after the name, for the help text
    int (*run)(std::span<char* const> args); // args after the name; returns the process exit code
    const char* word = nullptr;              // when set, the first argument after the name must be this codec word
};

// Registers a command for the life of the process; call from a namespace-scope static.
bool RegisterCodecToolCommand(const CodecToolCommand& command);
