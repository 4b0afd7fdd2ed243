#pragma once
// CVTND_JavaClassReader: the methods a compiled Java class declares, for the Java panel. The class file is hostile
// input: every count and index is checked against the bytes and the constant pool before it is used, names are
// decoded from the class file's modified UTF-8, and a file that does not hold together is refused whole with a
// reason. Constructors and static initialisers are left out of the list: no Java action calls them.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct CVTND_JavaClassMethod {
    std::string name;
    std::string descriptor; // "(I)V"
    uint16_t accessFlags = 0;
};

struct CVTND_JavaClass {
    uint16_t minorVersion = 0;
    uint16_t majorVersion = 0;
    uint16_t accessFlags = 0;
    std::string className; // "java/lang/String"
    std::string superName; // empty for java/lang/Object
    std::vector<std::string> interfaces;
    uint32_t fieldCount = 0;
    std::vector<CVTND_JavaClassMethod> methods; // in the file's order
};

class CVTND_JavaClassReader {
public:
    static constexpr uint64_t kMaxClassBytes = 64u << 20; // no class file comes near it

    // The class in bytes; false, with outClass empty and outReason one line, when they are not a class file.
    static bool Read(std::span<const uint8_t> bytes, CVTND_JavaClass& outClass, std::string& outReason);
    static bool ReadFile(const std::string& path, CVTND_JavaClass& outClass, std::string& outReason);
    // Modified UTF-8 (a zero as two bytes, characters beyond the first plane as two encoded surrogates) into UTF-8;
    // false on a malformed sequence.
    static bool DecodeModifiedUtf8(std::span<const uint8_t> bytes, std::string& out);
};
