#pragma once
// The application's own small dialogs: the user's name and organization asked on the first run, and the
// preferences, one row per registered editor setting.
namespace pf {
class Window;
}
class CVTND_EditorSettings;
class CVTND_EngineInterface;

inline constexpr int kIddUserInformation = 700;
inline constexpr int kIddPreferences = 701;

// OK stores both texts; Cancel stores nothing, so the question comes again at the next start. Answers the end code.
int RunUserInformationDialog(pf::Window& owner, CVTND_EditorSettings& settings);
// OK writes each changed setting and tells the engine (may be null) of each; Cancel writes nothing.
int RunPreferencesDialog(pf::Window& owner, CVTND_EditorSettings& settings, CVTND_EngineInterface* engine);
