#include "link/midi/RtMidiErrorCatcher.h"

namespace midi {

void CRtMidiErrorCatcher::Callback(RtMidiError::Type type, const std::string& text, void* self) {
    static_cast<CRtMidiErrorCatcher*>(self)->Report(type, text);
}

void CRtMidiErrorCatcher::SetAsyncHandler(AsyncHandler handler) {
    std::lock_guard lock(m_mutex);
    m_asyncHandler = std::move(handler);
}

void CRtMidiErrorCatcher::Begin() {
    std::lock_guard lock(m_mutex);
    m_callThread = std::this_thread::get_id();
    m_strCallError.clear();
}

std::string CRtMidiErrorCatcher::End() {
    std::lock_guard lock(m_mutex);
    m_callThread = {};
    return std::move(m_strCallError);
}

void CRtMidiErrorCatcher::Report(RtMidiError::Type type, const std::string& text) {
    if (type == RtMidiError::DEBUG_WARNING) return;
    AsyncHandler handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_callThread == std::this_thread::get_id()) {
            // Warnings (no devices yet, a port name that could not be set) do not fail a call.
            if (type != RtMidiError::WARNING && m_strCallError.empty()) m_strCallError = text;
            return;
        }
        // A warning from RtMidi's own thread is no failure of the device.
        if (type == RtMidiError::WARNING) return;
        handler = m_asyncHandler;
    }
    if (handler) handler(text);
}

}  // namespace midi
