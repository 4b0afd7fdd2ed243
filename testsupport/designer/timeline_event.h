#pragma once
// TimelineEvent: an event of the sample world laid out for the time line: a play-sound action with a delay, a range
// and three repeats; a looping key-frame controller; a one-second rotate controller on an object node; a condition
// with one true and one false follower; a queue with two members. Tests and developer tools only.
#include <vector>

class SWactionnode;
class SWevent;

namespace designertest {

class SampleWorld;

struct TimelineEvent {
    static constexpr double kSoundDelayMs = 500.0;
    static constexpr double kKeyFrameDelayMs = 1000.0;
    static constexpr double kRotateDelayMs = 1500.0;
    static constexpr float kRotateMs = 1000.0f;
    static constexpr double kTimeLineMs = 20000.0;

    explicit TimelineEvent(SampleWorld& sample); // a new event of type 4 named "timeline"

    SWevent* event = nullptr;
    SWactionnode* sound = nullptr;    // kind 7: range 0..1000 ms of the sample's sound, three plays
    SWactionnode* keyFrame = nullptr; // kind 44, loops for ever, two seconds a pass
    SWactionnode* rotate = nullptr;   // kind 41, a quarter turn in one second
    SWactionnode* condition = nullptr;
    SWactionnode* thenFollower = nullptr;
    SWactionnode* elseFollower = nullptr;
    SWactionnode* queue = nullptr;
    std::vector<SWactionnode*> queueMembers;
};

} // namespace designertest
