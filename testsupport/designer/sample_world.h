#pragma once
// SampleWorld: the world file's sample world, filled into the designer application's own world, plus what the
// event editing reads: nodes of every flag the drop rules test (two cameras, one of sub-type 3; a group; object
// nodes; a particle system; the screen node), events of types 4, 5, 16, 17 and 19 with actions, a condition with
// true and false followers, a queue with members and a stop queue, expression entries, two sounds and a loaded
// world. Tests and developer tools only.
#include <cstdint>
#include <vector>

class CVTN_SubWorld;
class CVTNDesignerApp;
class CVTND_ExtendedWorld;
class SWactionkind;
class SWactionnode;
class SWcursor;
class SWevent;
class SWexpressionentry;
class SWmaterial;
class SWnode;
class SWsound;

namespace designertest {

class SampleWorld {
public:
    // Makes a fresh workspace on app and fills its world. Nothing is put on any map.
    explicit SampleWorld(CVTNDesignerApp& app);

    CVTND_ExtendedWorld& world;
    // Nodes
    SWnode* camera = nullptr;      // sub-type 0
    SWnode* otherCamera = nullptr; // sub-type 3
    SWnode* group = nullptr;
    SWnode* object = nullptr; // object nodes with their transform variables
    SWnode* otherObject = nullptr;
    SWnode* mesh = nullptr;
    SWnode* hotspot = nullptr;
    SWnode* particles = nullptr; // kind code 4
    SWnode* screenNode = nullptr;
    // Events, by type
    SWevent* timer = nullptr;      // 4
    SWevent* click = nullptr;      // 5, with object names
    SWevent* motionDone = nullptr; // 16
    SWevent* soundDone = nullptr;  // 17, with a sound name
    SWevent* key = nullptr;        // 19
    // Actions of the timer event
    SWactionnode* condition = nullptr; // 25
    SWactionnode* thenFollower = nullptr;
    SWactionnode* elseFollower = nullptr;
    SWactionnode* queue = nullptr; // 30
    std::vector<SWactionnode*> queueMembers;
    SWactionnode* stopQueue = nullptr; // 31
    // Resources
    SWsound* sound = nullptr;
    SWsound* otherSound = nullptr;
    SWexpressionentry* expression = nullptr;
    SWexpressionentry* otherExpression = nullptr;
    SWcursor* cursor = nullptr;
    SWmaterial* material = nullptr;
    CVTN_SubWorld* loadedWorld = nullptr;

    SWactionkind* Kind(int32_t kindId) const; // the catalogue's record; null when none
    // A new action of kindId appended to event (a record of its own for kinds the catalogue lacks).
    SWactionnode* AddAction(SWevent& event, int32_t kindId);
};

} // namespace designertest
