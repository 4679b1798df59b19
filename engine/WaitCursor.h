#pragma once
// Shows the host's wait cursor for the life of the object (one engine operation).

#include "link/Host.h"

class CWaitCursor {
public:
    explicit CWaitCursor(IHost& host) : m_host(host) { m_host.BeginWaitCursor(); }
    ~CWaitCursor() { m_host.EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    IHost& m_host;
};
