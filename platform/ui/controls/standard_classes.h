#pragma once
// The classes every Ui knows from the start: the standard controls, dialogs and the frame classes.
namespace pf {

class Ui;
void registerStandardClasses(Ui& ui);

} // namespace pf
