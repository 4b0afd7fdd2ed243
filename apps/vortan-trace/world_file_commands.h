#pragma once
// vortan-trace's world-file commands: make-demo OUT, file IN [--frames N] [--save OUT], roundtrip IN. args start
// at the command's name. Answers the process exit code (3 for a refusal: bad arguments or a file that cannot be
// read or written).
bool IsWorldFileCommand(const char* command);
int RunWorldFileCommand(int argc, char** argv);
