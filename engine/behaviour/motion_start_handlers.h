#pragma once
// Starting and stopping motions on the nodes an action names. The generic start chooses the nodes by the motion's
// timed-action type and runs the per-node start on each; the frame step and the trace tool reach the per-node
// start through this header.
class SWnodemotion;
class SWobjectnode;
class SWworld;

// Binds motion (or, for the types that run one copy per node, a clone of it) to node and starts it; the motion
// holds the template's sequence entry once per node. Does nothing for a node that is not an object node.
void StartMotionOnNode(SWobjectnode& node, SWworld& world, SWnodemotion& motion);
// Stops, releases and marks done (without a finished notification) every timed action of node started for
// actionId; with all clear only the first. The purge then deletes them.
void StopMotionsOfAction(SWobjectnode& node, unsigned actionId, bool all);
