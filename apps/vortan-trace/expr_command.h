#pragma once
// `vortan-trace expr TEXT`: compiles TEXT against the demo scene and prints its tokens, the result code and the
// value evaluation gives. Exits 0 when the text compiles, 3 when it does not.
int RunExprCommand(const char* text);
