#pragma once
// vortan-train sc36 bootstrap|train: the SC36 quantiser tables as generated source.
#include <span>

// args after "sc36"; the process exit code (0 done, 1 failed, 2 usage, 3 refused input).
int RunSc36Train(std::span<char* const> args);
