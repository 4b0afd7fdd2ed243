#pragma once
// The string-table ids of the time-line window's texts.
#include <cstdint>
#include <string>

enum StoryBoardText : uint32_t {
    kIdsTimelineTitle = 22000, // the frame's title; %s is the event's name
};

// The text of id, registered with the time line's template; empty when absent.
std::string StoryBoardTextOf(uint32_t id);
