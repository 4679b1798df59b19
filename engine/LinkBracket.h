#pragma once
// Opens the current link for the length of one engine operation and closes it exactly once on
// every way out. With `own` false the bracket belongs to the caller and this one does nothing.
// Used by CLibrarian only, on its thread.

#include "DeviceLink.h"

class CLinkBracket {
public:
    CLinkBracket(CDeviceLink& link, int bufferSize, bool own = true) : m_link(link) {
        if (own) m_bOpen = m_link.Open(bufferSize) == 0, m_bFailed = !m_bOpen;
    }
    ~CLinkBracket() { Close(); }
    CLinkBracket(const CLinkBracket&) = delete;
    CLinkBracket& operator=(const CLinkBracket&) = delete;

    // True when this bracket tried to open the link and could not.
    bool Failed() const { return m_bFailed; }
    // Closes now (when this bracket opened the link); later calls do nothing.
    void Close() {
        if (m_bOpen) m_link.Close();
        m_bOpen = false;
    }

private:
    CDeviceLink& m_link;
    bool m_bOpen = false;
    bool m_bFailed = false;
};
