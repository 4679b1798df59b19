#pragma once
// Opens the current link for the length of one engine operation and closes it exactly once on
// every way out. With `own` false the bracket belongs to the caller and this one does nothing.
// With `linkLost` given, a bracket that finds it set fails at once without opening the link (and
// so without a message); one that cannot open the link, or closes it after its far end has gone,
// sets it. With `unitGone` given, the same two events set it whether or not link loss is held
// (the engine's bank catalogue is then read afresh once the unit answers again).
// Used by CLibrarian only, on its thread.

#include <utility>

#include "link/DeviceLink.h"

class CLinkBracket {
public:
    // `openSize`, when given, holds `bufferSize` while this bracket keeps the link open, and 0
    // after it closed it.
    CLinkBracket(CDeviceLink& link, int bufferSize, bool own = true, int* openSize = nullptr,
                 bool* linkLost = nullptr, bool* unitGone = nullptr)
        : m_link(link), m_pOpenSize(openSize), m_pLinkLost(linkLost), m_pUnitGone(unitGone) {
        if (own && m_pLinkLost != nullptr && *m_pLinkLost) {
            m_bFailed = true;
        } else if (own) {
            m_bOpen = m_link.Open(bufferSize) == 0, m_bFailed = !m_bOpen;
            if (m_bFailed && m_pLinkLost != nullptr) *m_pLinkLost = true;
            if (m_bFailed && m_pUnitGone != nullptr) *m_pUnitGone = true;
        }
        if (m_bOpen && m_pOpenSize != nullptr) *m_pOpenSize = bufferSize;
    }
    ~CLinkBracket() { Close(); }
    CLinkBracket(const CLinkBracket&) = delete;
    CLinkBracket& operator=(const CLinkBracket&) = delete;
    // The link, if open, is closed by the new bracket only.
    CLinkBracket(CLinkBracket&& other) noexcept
        : m_link(other.m_link),
          m_pOpenSize(other.m_pOpenSize),
          m_pLinkLost(other.m_pLinkLost),
          m_pUnitGone(other.m_pUnitGone),
          m_bOpen(std::exchange(other.m_bOpen, false)),
          m_bFailed(other.m_bFailed) {}

    // True when this bracket tried to open the link and could not.
    bool Failed() const { return m_bFailed; }
    // True while this bracket holds the link open.
    bool Opened() const { return m_bOpen; }
    // Closes now (when this bracket opened the link); later calls do nothing.
    void Close() {
        if (m_bOpen) {
            const bool gone = m_link.PeerGone();
            if (m_pLinkLost != nullptr && gone) *m_pLinkLost = true;
            if (m_pUnitGone != nullptr && gone) *m_pUnitGone = true;
            m_link.Close();
            if (m_pOpenSize != nullptr) *m_pOpenSize = 0;
        }
        m_bOpen = false;
    }

private:
    CDeviceLink& m_link;
    int* m_pOpenSize;
    bool* m_pLinkLost;
    bool* m_pUnitGone;
    bool m_bOpen = false;
    bool m_bFailed = false;
};
