#pragma once
// The variable editors' rename: one operation with the world model's own. It checks nothing; the editors check the
// built-in flag and duplicate names before they call it. References by id keep the variable; expressions that name
// the old text stop resolving.
class SWproperty;

void SetStringMemberAt18(SWproperty* variable, const char* text); // a copy of text; null gives no name
