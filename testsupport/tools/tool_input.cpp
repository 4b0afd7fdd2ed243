#include "testsupport/tools/tool_input.h"

#include <csignal>
#include <cstdlib>
#include <string_view>

#include <sys/stat.h>

#include "platform/base/error_text.h"
#include "platform/gfx/png_file.h"

namespace tooltest {

namespace {

std::string CannotRead(const std::string& path, const std::string& cause)
{
    return "cannot read " + path + ": " + cause;
}

} // namespace

std::optional<std::vector<uint8_t>> ReadInput(const std::string& path, std::string& outError, uint64_t maxBytes)
{
    std::vector<uint8_t> bytes;
    const pf::InputFileResult read = pf::readWholeFile(path, bytes, maxBytes);
    if (!read.ok()) {
        outError = read.message;
        return std::nullopt;
    }
    return bytes;
}

OutputOverInput::OutputOverInput(const std::string& in, const std::string& out) : m_out(out)
{
    const std::optional<pf::FileStamp> input = pf::fileStampOf(in);
    const std::optional<pf::FileStamp> output = pf::fileStampOf(out);
    if (input && output && input->SameFile(*output))
        m_read = input;
}

bool OutputOverInput::Unchanged(std::string& outError) const
{
    if (!m_read)
        return true;
    if (const char* stop = std::getenv("VORTAN_TOOL_STOP_BEFORE_WRITE"); stop != nullptr && *stop != '\0')
        std::raise(SIGSTOP);
    if (pf::fileStampOf(m_out) == m_read)
        return true;
    outError = "cannot write " + m_out + ": it changed on disk after it was read, and is left as it is";
    return false;
}

bool CheckInput(const std::string& path, std::string& outError)
{
    const pf::InputFileResult checked = pf::checkInputFile(path);
    if (!checked.ok())
        outError = checked.message;
    return checked.ok();
}

bool CheckInputFolder(const std::string& path, std::string& outError)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        outError = CannotRead(path, pf::errorText(errno));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        outError = CannotRead(path, "it is not a folder");
        return false;
    }
    return true;
}

std::optional<testsupport::BgrImage> ReadPngInput(const std::string& path, std::string& outError, uint64_t maxPixels)
{
    const std::optional<std::vector<uint8_t>> bytes = ReadInput(path, outError);
    if (!bytes)
        return std::nullopt;
    std::string cause;
    std::optional<pf::PngImage> png = pf::readPngBytes(*bytes, {pf::PngPixels::kBgr, maxPixels}, cause);
    if (!png) {
        outError = CannotRead(path, cause);
        return std::nullopt;
    }
    return testsupport::BgrImage{png->width, png->height, std::move(png->bytes)};
}

std::optional<meshtest::OffMesh> ReadOffInput(const std::string& path, std::string& outError)
{
    const std::optional<std::vector<uint8_t>> bytes = ReadInput(path, outError);
    if (!bytes)
        return std::nullopt;
    std::string cause;
    std::optional<meshtest::OffMesh> mesh =
        meshtest::ParseOff(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), &cause);
    if (!mesh)
        outError = CannotRead(path, cause);
    return mesh;
}

std::string WriteRefusal(const std::string& path, const std::string& writerError)
{
    const std::string named = "cannot write " + path + ": ";
    return writerError.starts_with(named) ? writerError : named + writerError;
}

} // namespace tooltest
