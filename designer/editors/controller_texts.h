#pragma once
// The string-table ids of the controller editor's texts: the host's titles by page, the pages' group labels and the
// placeholders shown for a missing node.
#include <cstdint>
#include <string>

enum ControllerText : uint32_t {
    kIdsControllerTitle = 27000, // no page: an action without a motion
    kIdsRotateTitle = 27001,
    kIdsTranslateTitle = 27002,
    kIdsScaleTitle = 27003,
    kIdsKeyFramePlayTitle = 27004,
    kIdsKeyFrameJumpTitle = 27005,
    kIdsVertexPlayTitle = 27006,
    kIdsVertexJumpTitle = 27007,
    kIdsTrackTargetTitle = 27008,
    kIdsRotateGroup = 27009,
    kIdsTranslateGroup = 27010,
    kIdsScaleGroup = 27011,
    kIdsNoNode = 27012,      // static 1390 without a reference node
    kIdsNoTarget = 27013,    // static 1358 without a resolved target
    kIdsRepeatRange = 27014, // a repeat count the field cannot hold
};

// The text of id, registered with the controller's templates; empty when absent.
std::string ControllerTextOf(uint32_t id);
