#pragma once
// Changes of an action that the tool windows are told of: each runs under the world's lock and broadcasts after
// the lock is released (code 4 with its detail, or 5 for a move), subject the action, first related its event.
#include <cstdint>

class SWactionnode;
struct CVTND_JavaMethod;
class SWdatanode;
class SWevent;
class SWworld;

// SWactionnode::AddArgument, then the broadcast (detail 2, third related the datum as type 0). The new argument.
SWdatanode* AddActionArgumentAndNotify(SWactionnode* action, const void* datum, int type, bool copy);
// The broadcast (detail 3, third related the argument) while it still lives, then it is deleted. Null: nothing.
void RemoveArgumentAndNotify(SWactionnode* action, SWdatanode* argument);
// The first argument takes datum, then the broadcast (detail 5); an action without arguments: nothing.
bool ChangeArgumentAndNotify(SWactionnode* action, const void* datum, int type, bool copy);
// The record is made first (previous event, target); then the move with the actions that hang on it (after null:
// first); then, with redraw, the maps and the action lists; then the broadcast.
void MoveActionAndNotify(SWevent* target, SWactionnode* action, SWactionnode* after, bool redraw);
// The created broadcast of a new action (first related its event).
void AnnounceNewAction(SWactionnode* action);

void RedrawMaps(); // every open event map; nothing while the application does not run
// A drop changed what the maps show: without more, every map is redrawn and every action list refilled now, once
// for the whole drop; with more, that is owed to the drop that ends it.
void MapChangedByDrop(bool more);
// After events or actions were deleted: with auto-remove on, whatever they alone named leaves the map; every map is
// redrawn either way.
void RedrawAfterDeletion();
void FinishDrop(); // pays an owed redraw: the drag ended on a drop that was skipped or changed nothing

SWworld* WorldOfAction(const SWactionnode* action); // the world whose lock guards action
// A new host callback action of event for method (class name from its class file); null for no method. The caller
// holds the world's lock.
SWactionnode* CreateJavaCallbackAction(SWevent& event, const CVTND_JavaMethod* method);
