#include "library/LibrarySightings.h"

namespace library {

bool CLibrarySightings::ProgramSeen(const std::string& text, const std::string& name, How how,
                                    const Where& where, std::string& error) {
    if (!m_library.IsOpen()) {
        error = m_openError.empty() ? std::string("the program library is not open")
                                    : m_openError;
    } else {
        Where placed = where;
        if (placed.link.empty() && placed.bank >= 0 && how != How::Imported)
            placed.link = m_link;
        std::string info;
        if (how != How::Imported && how != How::BackedUp) {
            const auto it = m_info.find({where.bank, where.program});
            if (it != m_info.end()) info = it->second;
        }
        if (m_library.Store(text, name, how, placed, error, info)) {
            m_lastError.clear();
            return true;
        }
    }
    m_lastError = error;
    if (m_nFailures++ == 0 && m_reporter) m_reporter(error);
    return false;
}

void CLibrarySightings::ProgramInfoSeen(const std::string& info, const Where& where) {
    m_info[{where.bank, where.program}] = info;
    if (!m_library.IsOpen()) return;
    Where placed = where;
    if (placed.link.empty()) placed.link = m_link;
    std::string ignored;
    m_library.SetInfoAt(placed, info, ignored);
}

}  // namespace library
