#include "designer/app/app_registrations.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

// Function-local, so registrations from static initialisers in any order find them made.
struct Entries {
    std::mutex lock;
    std::vector<CVTND_WindowClassRegistrar> registrars;
    CVTND_PanelsCreator panels = nullptr;
    CVTND_ViewCursorCreator cursor = nullptr;
    CVTND_WizardRun wizard = nullptr;
};

Entries& Get()
{
    static Entries entries;
    return entries;
}

template <typename T> bool RegisterOnce(T& slot, T value)
{
    const std::lock_guard hold(Get().lock);
    if (slot != nullptr || value == nullptr)
        return false;
    slot = value;
    return true;
}

template <typename T> T Read(const T& slot)
{
    const std::lock_guard hold(Get().lock);
    return slot;
}

template <typename T> T Swap(T& slot, T value)
{
    const std::lock_guard hold(Get().lock);
    return std::exchange(slot, value);
}

} // namespace

bool CVTND_AppRegistry::AddWindowClassRegistrar(CVTND_WindowClassRegistrar registrar)
{
    const std::lock_guard hold(Get().lock);
    auto& list = Get().registrars;
    if (registrar == nullptr || std::find(list.begin(), list.end(), registrar) != list.end())
        return false;
    list.push_back(registrar);
    return true;
}

std::vector<CVTND_WindowClassRegistrar> CVTND_AppRegistry::WindowClassRegistrars()
{
    return Read(Get().registrars);
}

bool CVTND_AppRegistry::RegisterPanelsCreator(CVTND_PanelsCreator creator)
{
    return RegisterOnce(Get().panels, creator);
}
CVTND_PanelsCreator CVTND_AppRegistry::FindPanelsCreator()
{
    return Read(Get().panels);
}
CVTND_PanelsCreator CVTND_AppRegistry::ReplacePanelsCreator(CVTND_PanelsCreator creator)
{
    return Swap(Get().panels, creator);
}

bool CVTND_AppRegistry::RegisterViewCursorCreator(CVTND_ViewCursorCreator creator)
{
    return RegisterOnce(Get().cursor, creator);
}
CVTND_ViewCursorCreator CVTND_AppRegistry::FindViewCursorCreator()
{
    return Read(Get().cursor);
}
CVTND_ViewCursorCreator CVTND_AppRegistry::ReplaceViewCursorCreator(CVTND_ViewCursorCreator creator)
{
    return Swap(Get().cursor, creator);
}

bool CVTND_AppRegistry::RegisterWizard(CVTND_WizardRun run)
{
    return RegisterOnce(Get().wizard, run);
}
CVTND_WizardRun CVTND_AppRegistry::FindWizard()
{
    return Read(Get().wizard);
}
CVTND_WizardRun CVTND_AppRegistry::ReplaceWizard(CVTND_WizardRun run)
{
    return Swap(Get().wizard, run);
}
