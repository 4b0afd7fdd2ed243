#pragma once
// A world for the behaviour tests that grants every mouse-look request and counts the requests and releases.
#include "engine/core/world.h"

class LookingWorld : public SWworld {
public:
    bool BeginMouseLook() override
    {
        ++begins;
        return true;
    }
    void EndMouseLook() override { ++ends; }

    int begins = 0;
    int ends = 0;
};
