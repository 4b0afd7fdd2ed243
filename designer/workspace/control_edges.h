#pragma once
// The bevelled edges the workspace's self-drawn controls share, in the colours of the standard controls, so a
// dial or a picker sits in a dialog like an edit or a list.
#include "platform/base/rect.h"

namespace pf {
class Dc;
}

pf::Rect DrawSunkenEdge(pf::Dc& dc, const pf::Rect& r); // two pixels deep; answers the rectangle inside it
pf::Rect DrawRaisedEdge(pf::Dc& dc, const pf::Rect& r); // a push button's face edge; the rectangle inside it
