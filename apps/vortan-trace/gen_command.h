#pragma once
// `vortan-trace gen KIND [name=value ...] [--frames N] [--dt MS]`: one value generator stepped frame by frame,
// printing its value and delta. Exits 2 on a usage error.
int RunGenCommand(int argc, char** argv); // argv[0] is KIND
