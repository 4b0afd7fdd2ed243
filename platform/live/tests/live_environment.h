#pragma once
// Every live test process has one private X server, started before the first case and stopped after the last;
// ctest runs each case as its own process, so cases never share a server or SDL's state.
#include "platform/live/sdl_backend.h"
#include "platform/testing/xvfb_server.h"
#include "platform/ui/core/ui.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace pf {

XvfbServer& liveServer();

// A Ui on the SDL backend of the test's X server, with the real clock and the live modal services.
class LiveFixture : public ::testing::Test {
protected:
    // A case that sets either in its constructor gets a server of its own in place of the process's usual one.
    Size screenSize{1280, 1024};
    bool withWindowManager = false;

    void SetUp() override; // the server and the backend, then SetUpLive; skipped where SDL holds another server
    virtual void SetUpLive() {}
    void TearDown() override;

    Ui& ui() { return *m_ui; }
    SdlBackend& backend() { return *m_backend; }
    // Runs the loop until `done` holds or the time is up (then false); never hangs a test. A step that holds the
    // loop past the bound (a menu or a dialog opened where none was meant to be) is ended by a quit and fails the
    // test, naming what was open.
    bool runUntil(const std::function<bool()>& done, int timeoutMs = 20000); // long enough for a loaded machine
    void settle(int ms = 150); // lets X, SDL and the loop exchange what they still owe each other
    // A person's press at `from` and moves to `to` in four steps through the X server, the loop running between
    // them; the button stays down.
    void pressAndMove(Point from, Point to);
    Window* createTopLevel(const Rect& rect, uint32_t style);

private:
    std::unique_ptr<SdlBackend> m_backend;
    std::unique_ptr<Ui> m_ui;
    int m_waitDepth = 0;  // runUntil calls under way: one runs inside another through a modal run
    std::string m_heldBy; // what was open when a held loop was ended
};

} // namespace pf
