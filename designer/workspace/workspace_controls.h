#pragma once
// The window classes of the workspace's controls, each under its C++ name (CVTND_AngularInput, ...), so that any
// dialog template can name them. Window classes belong to one Ui: start-up registers them on the program's, and
// tests and tools on theirs.
namespace pf {
class Ui;
}

void RegisterWorkspaceControls(pf::Ui& ui); // a class already registered under a name keeps its first entry
