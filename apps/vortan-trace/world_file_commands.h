#pragma once
// vortan-trace's world-file commands: make-demo OUT, file IN [--frames N] [--save OUT], roundtrip IN, each reading
// a world within [--max-bytes N] [--max-pixels N]. args start at the command's name. Answers the process exit code
// (2 for bad arguments, 3 for a file that cannot be read or written).
bool IsWorldFileCommand(const char* command);
int RunWorldFileCommand(int argc, char** argv);
