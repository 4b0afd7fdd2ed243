#pragma once
// CVTND_WorldHost: where the designer world sends the callbacks a running world makes to its host (the 3D view
// implements it). Every call comes on the render thread, inside the frame step, with the world's lock held: an
// implementation touches no window there; it posts what it needs to the user-interface thread and returns.
class SWcursor;
class SWevent;

class CVTND_WorldHost {
public:
    virtual ~CVTND_WorldHost() = default;

    virtual void JavaCallback(SWevent* event, const char* text1, const char* text2, const char* dataText) = 0;
    virtual void SetCursor(const SWcursor* cursor) = 0; // null: the default cursor
    virtual void HostMessage(const char* text) = 0;
    virtual bool BeginMouseLook() = 0; // true: the pointer is captured
    virtual void EndMouseLook() = 0;
};
