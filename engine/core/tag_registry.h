#pragma once
// The tag registry: which class a stored type tag names. Each persistent class registers its creator once, from a
// namespace-scope CVTN_TagRegistration in its own source file, while the program starts; readers then make an
// object for every tag they meet and skip the tags nobody registered.
//
//   static const CVTN_TagRegistration kRegistration(MakeTag("WRLD"), &CreateContainer<SWworld>);
#include "engine/core/container.h"

#include <cstddef>
#include <cstdint>
#include <memory>

using CVTN_Creator = std::unique_ptr<CVTN_Container> (*)();

template <typename T> std::unique_ptr<CVTN_Container> CreateContainer()
{
    return std::make_unique<T>();
}

class CVTN_TagRegistry {
public:
    static bool Register(uint32_t tag, CVTN_Creator creator);    // false: null creator, or the tag already has one
                                                                 // (which is kept); any thread
    static CVTN_Creator Find(uint32_t tag);                      // null when the tag is not registered
    static std::unique_ptr<CVTN_Container> Create(uint32_t tag); // caller owns; null when the tag is not
                                                                 // registered or memory ran out
    static size_t Count();
};

struct CVTN_TagRegistration {
    CVTN_TagRegistration(uint32_t tag, CVTN_Creator creator); // registers; a second class claiming a tag loses
    bool registered;                                          // false when it lost
};
