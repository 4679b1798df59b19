#include "library/LibrarySightings.h"

namespace library {

bool CLibrarySightings::ProgramSeen(const std::string& text, const std::string& name, How how,
                                    const Where& where, std::string& error) {
    if (!m_library.IsOpen()) {
        error = m_openError.empty() ? std::string("the program library is not open")
                                    : m_openError;
    } else {
        Where placed = where;
        if (placed.link.empty() && placed.bank >= 0 &&
            (how != How::Imported && how != How::BackedUp))
            placed.link = m_link;
        if (m_library.Store(text, name, how, placed, error)) {
            m_lastError.clear();
            return true;
        }
    }
    m_lastError = error;
    ++m_nFailures;
    return false;
}

}  // namespace library
