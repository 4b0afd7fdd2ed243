#include "engine/resources/render_layer.h"

#include "engine/resources/texture.h"
#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/render_target.h"

namespace {

constexpr uint8_t kStride = 8;
constexpr uint8_t kCombinePlain = 3;
constexpr uint8_t kFlagTextureAlpha = 4;

} // namespace

SWlayersprite::SWlayersprite(int32_t x, int32_t y, const SWtexture* image) : m_image(image), m_x(x), m_y(y)
{
    if (image != nullptr) {
        m_width = image->GetWidth();
        m_height = image->GetHeight();
    }
}

SWlayersprite::~SWlayersprite()
{
    if (m_backLink != nullptr)
        *m_backLink = nullptr;
}

SWlayersprite* SWlayersprite::Create(SWrenderlayer& layer, int32_t x, int32_t y, const SWtexture* image)
{
    auto* sprite = new SWlayersprite(x, y, image);
    layer.GetItems().AddTail(sprite);
    return sprite;
}

void SWlayersprite::Destroy()
{
    if (List() != nullptr)
        List()->Delete(this);
    else
        delete this;
}

void SWlayersprite::SetSourceRect(int32_t width, int32_t height, int32_t x, int32_t y)
{
    m_width = width;
    m_height = height;
    m_sourceX = x;
    m_sourceY = y;
}

uint32_t SWrenderlayer::RenderItems(SWrendertarget& target) const
{
    const float targetWidth = static_cast<float>(target.GetWidth());
    const float targetHeight = static_cast<float>(target.GetHeight());
    uint32_t drawn = 0;
    for (SWlistnode* node = m_items.Head(); node != nullptr; node = node->Next()) {
        const auto* sprite = static_cast<const SWlayersprite*>(node);
        const SWtexture* image = sprite->GetImage();
        if (!sprite->IsVisible() || !sprite->IsEnabled() || image == nullptr || !image->IsValid() ||
            targetWidth <= 0.0f || targetHeight <= 0.0f)
            continue;
        SWrenderbatch* batch = target.Queue().NewBatch();
        if (batch == nullptr)
            break;
        SWtexturestages* format = batch->TakeFormatRecord();
        uint32_t* words = batch->TakeWords(4 * kStride);
        SWprimitivenode* chain = batch->AllocPrimitives(2);
        if (format == nullptr || words == nullptr || chain == nullptr)
            continue;
        format->vertexStride = kStride;
        format->firstFloatWord = 6;
        format->colourCount = 2;
        format->combineMode = kCombinePlain;
        format->vertexAlpha = 255;
        format->layerCount = 1;
        format->flags = image->IsKindOf(MakeTag("CI32")) ? kFlagTextureAlpha : 0;
        format->images[0] = image;

        // The rasteriser takes vertices in the target's pixels, top left first, as every drawn geometry hands them.
        const float x0 = static_cast<float>(sprite->GetX());
        const float x1 = static_cast<float>(sprite->GetX() + sprite->GetWidth());
        const float y0 = static_cast<float>(sprite->GetY());
        const float y1 = static_cast<float>(sprite->GetY() + sprite->GetHeight());
        const float imageWidth = static_cast<float>(image->GetWidth());
        const float imageHeight = static_cast<float>(image->GetHeight());
        const float u0 = static_cast<float>(sprite->GetSourceX()) / imageWidth;
        const float u1 = static_cast<float>(sprite->GetSourceX() + sprite->GetWidth()) / imageWidth;
        const float v0 = static_cast<float>(sprite->GetSourceY()) / imageHeight;
        const float v1 = static_cast<float>(sprite->GetSourceY() + sprite->GetHeight()) / imageHeight;
        // Corners: top left, top right, bottom right, bottom left.
        const float corners[4][4] = {{x0, y0, u0, v0}, {x1, y0, u1, v0}, {x1, y1, u1, v1}, {x0, y1, u0, v1}};
        for (int c = 0; c < 4; ++c) {
            uint32_t* v = words + c * kStride;
            v[0] = FloatWord(corners[c][0]);
            v[1] = FloatWord(corners[c][1]);
            v[2] = FloatWord(0.0f);
            v[3] = FloatWord(1.0f);
            v[4] = 0xFFFFFFFFu;
            v[5] = 0;
            v[6] = FloatWord(corners[c][2]);
            v[7] = FloatWord(corners[c][3]);
        }
        // Two triangles share the diagonal; each needs its three vertices consecutive, so the second is copied.
        uint32_t* second = batch->TakeWords(3 * kStride);
        if (second == nullptr)
            continue;
        for (int i = 0; i < kStride; ++i) {
            second[i] = words[0 * kStride + i];
            second[kStride + i] = words[2 * kStride + i];
            second[2 * kStride + i] = words[3 * kStride + i];
        }
        chain->format = format;
        chain->vertices = words;
        chain->next->format = format;
        chain->next->vertices = second;
        batch->AppendPrimitives(chain);
        ++drawn;
    }
    target.Flush();
    return drawn;
}
