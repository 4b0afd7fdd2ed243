#include "codecs/geometry/px_model.h"

#include <exception>
#include <new>

#include "codecs/geometry/px_result.h"

namespace px {

int PXModel::SetLists(std::vector<PXIndexedFaceSet> lists)
{
    try {
        std::vector<PXParams> params(lists.size());
        m_lists = std::move(lists);
        m_params = std::move(params);
        return PX_OK;
    } catch (const std::exception&) { // bad_alloc, or length_error for a size no vector holds
        return PXERR_OUTOFMEMORY;
    }
}

void PXModel::SetParam(uint32_t word, uint32_t value)
{
    for (uint32_t object = 0; object < m_params.size(); ++object)
        SetParamOf(object, word, value);
}

void PXModel::SetParamOf(uint32_t object, uint32_t word, uint32_t value)
{
    if (object < m_params.size() && word < m_params[object].words.size())
        m_params[object].words[word] = value;
}

std::vector<PXIndexedFaceSet> PXModel::TakeLists()
{
    std::vector<PXIndexedFaceSet> lists = std::move(m_lists);
    m_lists.clear();
    m_params.clear();
    return lists;
}

} // namespace px
