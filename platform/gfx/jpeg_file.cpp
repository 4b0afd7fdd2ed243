#include "platform/gfx/jpeg_file.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

#include "platform/base/atomic_file.h"
#include "platform/base/input_file.h"

namespace pf {

namespace {

// The library reports errors by calling error_exit, which must not return; it jumps back to the call that set up
// the manager instead of ending the process. Everything the jump skips is plain data, so nothing is left undone but
// the library's own state, which the landing site destroys.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void exitOnError(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings (a cut file, damaged data the library would paper over) are counted, not printed: a decode that drew any
// is refused.
void countMessage(j_common_ptr info, int level)
{
    if (level < 0)
        ++info->err->num_warnings;
}

ErrorManager* setUpErrors(ErrorManager& manager)
{
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = exitOnError;
    manager.pub.emit_message = countMessage;
    manager.message[0] = '\0';
    return &manager;
}

// The decoder's working memory beyond the pixels: generous for any image within the pixel limit.
long workingMemoryLimit(uint64_t maxPixels)
{
    constexpr uint64_t kFloor = uint64_t{64} * 1024 * 1024;
    return static_cast<long>(std::min<uint64_t>(std::max(kFloor, maxPixels * 8), uint64_t{1} << 34));
}

struct DecodeState {
    uint64_t maxPixels = 0;
    std::vector<uint32_t>* pixels = nullptr; // the caller's; it outlives any jump
    int32_t width = 0;
    int32_t height = 0;
    const char* refusal = nullptr; // a cause of our own, when not the library's
};

// Only plain data lives in this frame, so the jump from the error manager skips no destructor.
bool decodeProtected(const uint8_t* data, size_t size, DecodeState& state, char* outMessage)
{
    jpeg_decompress_struct info;
    ErrorManager manager;
    info.err = &setUpErrors(manager)->pub;
    if (setjmp(manager.jump) != 0) {
        jpeg_destroy_decompress(&info);
        std::memcpy(outMessage, manager.message, sizeof(manager.message));
        return false;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = workingMemoryLimit(state.maxPixels);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    const uint64_t pixels = uint64_t{info.image_width} * info.image_height;
    if (info.image_width == 0 || info.image_height == 0 || pixels > state.maxPixels)
        state.refusal = "its size is over the pixel limit";
    else if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        state.refusal = "CMYK pictures are not read";
    if (state.refusal != nullptr) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_EXT_BGRA; // 0xAARRGGBB in memory order, alpha 255
    jpeg_start_decompress(&info);
    state.width = static_cast<int32_t>(info.output_width);
    state.height = static_cast<int32_t>(info.output_height);
    if (uint64_t{info.output_width} * info.output_height > state.maxPixels || info.output_components != 4) {
        state.refusal = "its size is over the pixel limit";
        jpeg_destroy_decompress(&info);
        return false;
    }
    state.pixels->resize(size_t{info.output_width} * info.output_height); // within the limit, checked above
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(state.pixels->data() + size_t{info.output_scanline} * state.width);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    const bool warned = info.err->num_warnings != 0;
    jpeg_destroy_decompress(&info);
    if (warned)
        state.refusal = "the picture is damaged or cut short";
    return !warned;
}

struct EncodeState {
    const Surface32* surface = nullptr;
    int quality = 75;
    unsigned char* buffer = nullptr; // the library's, freed by the caller
    unsigned long size = 0;
};

bool encodeProtected(EncodeState& state, char* outMessage)
{
    jpeg_compress_struct info;
    ErrorManager manager;
    info.err = &setUpErrors(manager)->pub;
    if (setjmp(manager.jump) != 0) {
        jpeg_destroy_compress(&info);
        std::memcpy(outMessage, manager.message, sizeof(manager.message));
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &state.buffer, &state.size);
    info.image_width = static_cast<JDIMENSION>(state.surface->width());
    info.image_height = static_cast<JDIMENSION>(state.surface->height());
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, state.quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const uint32_t* source = state.surface->row(static_cast<int32_t>(info.next_scanline));
        JSAMPROW row = const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(source)); // read, never written
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::optional<JpegImage> readJpegBytes(std::span<const uint8_t> jpeg, const JpegReadOptions& options,
                                       std::string& outError)
{
    outError.clear();
    JpegImage image;
    DecodeState state;
    state.maxPixels = options.maxPixels;
    state.pixels = &image.pixels;
    char message[JMSG_LENGTH_MAX] = {};
    bool decoded = false;
    try {
        decoded = decodeProtected(jpeg.data(), jpeg.size(), state, message);
    } catch (const std::bad_alloc&) {
        state.refusal = "out of memory";
    }
    if (!decoded) {
        outError = state.refusal != nullptr ? state.refusal : std::string("not a JPEG file, or damaged: ") + message;
        return std::nullopt;
    }
    image.width = state.width;
    image.height = state.height;
    return image;
}

std::optional<JpegImage> readJpegFile(const std::string& path, const JpegReadOptions& options, std::string& outError)
{
    std::vector<uint8_t> bytes;
    const InputFileResult read = readWholeFile(path, bytes);
    if (!read.ok()) {
        outError = read.cause;
        return std::nullopt;
    }
    return readJpegBytes(bytes, options, outError);
}

std::optional<std::vector<uint8_t>> encodeJpeg(const Surface32& surface, int quality, std::string& outError)
{
    outError.clear();
    if (surface.isEmpty()) {
        outError = "the picture is empty";
        return std::nullopt;
    }
    EncodeState state;
    state.surface = &surface;
    state.quality = std::clamp(quality, 0, 100);
    char message[JMSG_LENGTH_MAX] = {};
    bool encoded = false;
    {
        const std::lock_guard<std::mutex> lock(surface.mutex());
        encoded = encodeProtected(state, message);
    }
    std::optional<std::vector<uint8_t>> result;
    if (encoded) {
        try {
            result.emplace(state.buffer, state.buffer + state.size);
        } catch (const std::bad_alloc&) {
            outError = "out of memory";
        }
    } else {
        outError = std::string("the picture could not be encoded: ") + message;
    }
    std::free(state.buffer);
    return result;
}

bool writeJpegFile(const std::string& path, const Surface32& surface, int quality, std::string& outError)
{
    const std::optional<std::vector<uint8_t>> bytes = encodeJpeg(surface, quality, outError);
    if (!bytes)
        return false;
    const std::string_view view(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    return writeFileAtomically(path, view, &outError);
}

} // namespace pf
