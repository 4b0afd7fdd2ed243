// Any bytes as a Java class file: refused with a reason and nothing kept, or a class with a name whose methods are
// neither constructors nor static initialisers.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "designer/app/java_class_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CVTND_JavaClass parsed;
    std::string reason;
    if (!CVTND_JavaClassReader::Read(std::span(data, size), parsed, reason)) {
        if (reason.empty() || !parsed.className.empty() || !parsed.methods.empty())
            std::abort();
        return 0;
    }
    if (parsed.className.empty() || !reason.empty())
        std::abort();
    for (const CVTND_JavaClassMethod& method : parsed.methods)
        if (method.name == "<init>" || method.name == "<clinit>")
            std::abort();
    return 0;
}
