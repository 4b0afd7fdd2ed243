#pragma once
// The 3D views' cursor: the cross over a view, and while the preview runs the icon of the cursor entry the world
// names, read from its image file once per entry and kept; an entry whose file does not read shows the cross.
// User-interface thread only: the render thread's request reaches the view as a posted message first.
#include "designer/app/app_registrations.h"

pf::Cursor ViewCursorFor(const CVTND_CursorEntry* entry); // null: the cross
size_t ViewCursorsKept();                                 // entries read so far, for tests
