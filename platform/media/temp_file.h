#pragma once
// Temporary files that outlive the call: a loaded sound's wave data is restored into one and played from there.
#include <optional>
#include <string>
#include <string_view>

namespace pf {

std::string tempDirectory(); // $TMPDIR when set and not empty, else /tmp; no trailing slash

// Creates an empty file, mode 0600, named by the first three bytes of prefix, a unique hex number and ".tmp",
// in tempDirectory(); its path, or nullopt when no file could be created. The file stays until someone deletes it.
std::optional<std::string> makeTempFile(std::string_view prefix);

} // namespace pf
