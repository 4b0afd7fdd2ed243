#pragma once
// Parts of the application that later parts of the designer build and register their creators for: the shared
// editor images and the per-project gradient store. The application owns them through these bases.
class CVTND_AppComponent {
public:
    virtual ~CVTND_AppComponent() = default;
};

// The particle gradients of one project: a new project gets an empty store, a project read gets a fresh one that
// its gradient records fill, and the application holds the open project's.
class CVTND_GradientStore : public CVTND_AppComponent {};
