#include "platform/base/file_stamp.h"

#include <sys/stat.h>

namespace pf {

std::optional<FileStamp> fileStampOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.device = static_cast<uint64_t>(status.st_dev);
    stamp.inode = static_cast<uint64_t>(status.st_ino);
    stamp.sizeBytes = static_cast<uint64_t>(status.st_size);
    stamp.modifiedNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return stamp;
}

} // namespace pf
