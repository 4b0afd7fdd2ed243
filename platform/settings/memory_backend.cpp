#include "platform/settings/settings_backend.h"

namespace pf {

bool MemoryBackend::store(const std::string& text, bool keepOriginal)
{
    if (m_fail)
        return false;
    if (keepOriginal && m_text)
        m_kept = m_text;
    m_text = text;
    ++m_stores;
    return true;
}

} // namespace pf
