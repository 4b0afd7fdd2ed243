#include "designer/eventedit/background_test_guard.h"

#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"

CVTND_BackgroundTestGuard::CVTND_BackgroundTestGuard(SWworld* world) : m_world(world) {}

CVTND_BackgroundTestGuard::~CVTND_BackgroundTestGuard()
{
    Restore();
}

void CVTND_BackgroundTestGuard::BeforeTest()
{
    if (m_world == nullptr || m_tested)
        return;
    SWworldlock lock(*m_world);
    m_tested = true;
    SWrootobject* root = m_world->GetRootObject();
    SWbackground* current = root != nullptr ? root->GetBackground() : nullptr;
    if (current != nullptr && current->Detach())
        m_kept.reset(current); // the test's SetBackground then has nothing of the project's to delete
}

void CVTND_BackgroundTestGuard::Restore()
{
    if (m_world == nullptr || !m_tested)
        return;
    m_tested = false;
    SWworldlock lock(*m_world);
    SWrootobject* root = m_world->GetRootObject();
    if (root == nullptr)
        return;
    root->SetBackground(std::move(m_kept)); // deletes the tested definition
    SWbackground* restored = root->GetBackground();
    if (restored != nullptr)
        m_world->SetBackgroundTexture(restored);
    else
        m_world->RebuildBackground();
    // Every window with a renderer, shown or not: a hidden one still points at the definition just deleted.
    for (const auto& window : m_world->GetWindows()) {
        if (SWwindowrenderer* renderer = window->GetRenderer())
            renderer->SetBackground(restored);
    }
    m_world->Invalidate(false);
}

void CVTND_BackgroundTestGuard::Commit()
{
    m_tested = false;
    m_kept.reset();
}
