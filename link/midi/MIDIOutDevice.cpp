#include "link/midi/MIDIOutDevice.h"

#include <chrono>
#include <exception>
#include <limits>
#include <new>
#include <string>

#include "link/midi/MIDIOutException.h"
#include "link/midi/MIDIOutMemFailure.h"

namespace midi {

CMIDIOutDevice::CMIDIOutDevice(std::shared_ptr<IMIDIBackend> backend)
    : m_pBackend(std::move(backend)) {}

CMIDIOutDevice::~CMIDIOutDevice() {
    Close();
}

void CMIDIOutDevice::Open(std::int32_t deviceNumber) {
    Close();
    if (deviceNumber < 0) {
        throw CMIDIOutException("MIDI output device " + std::to_string(deviceNumber) +
                                " does not exist.");
    }
    std::shared_ptr<IMIDIOutPort> port;
    try {
        port = m_pBackend->CreateOutPort();
        port->Open(static_cast<unsigned int>(deviceNumber));
    } catch (const std::bad_alloc&) {
        throw CMIDIOutMemFailure();
    } catch (const std::exception& e) {
        throw CMIDIOutException(e.what());
    } catch (...) {
        throw CMIDIOutException("The MIDI output device failed.");
    }
    std::lock_guard lock(m_mutex);
    m_pPort = std::move(port);
    m_strFailure.clear();
    m_nState = kOpened;
}

int CMIDIOutDevice::Close() {
    std::shared_ptr<IMIDIOutPort> port;
    {
        std::lock_guard lock(m_mutex);
        if (m_nState != kOpened) return 0;
        m_nState = kClosed;
        port = std::move(m_pPort);
    }
    port.reset();  // outside the lock: closing a port may take a moment
    return 0;
}

void CMIDIOutDevice::SendLong(const std::uint8_t* bytes, std::uint32_t count) {
    std::shared_ptr<IMIDIOutPort> port;
    {
        std::lock_guard lock(m_mutex);
        if (m_nState != kOpened || bytes == nullptr || count == 0) return;
        port = m_pPort;
    }
    const std::size_t largest = port->LargestMessage();
    if (count > largest) {
        throw CMIDIOutException("A message of " + std::to_string(count) +
                                " bytes is longer than the " + std::to_string(largest) +
                                " bytes the MIDI connection carries.");
    }
    {
        std::unique_lock lock(m_sendMutex);
        if (!m_sendDone.wait_for(lock, std::chrono::milliseconds(kBusyWaitMs),
                                 [this] { return !m_bSending; })) {
            throw CMIDIOutException(
                "The MIDI output device is still busy with an earlier message.");
        }
        m_bSending = true;
    }
    std::string refused;
    try {
        port->Send(bytes, count);
    } catch (const std::exception& e) {
        refused = e.what();
    } catch (...) {
        refused = "The MIDI output device failed.";
    }
    if (!refused.empty()) {
        // A refused message is lost; the first refusal is kept for the MIDI link to find.
        std::lock_guard lock(m_mutex);
        if (m_pPort == port && m_strFailure.empty()) m_strFailure = refused;
    }
    {
        std::lock_guard lock(m_sendMutex);
        m_bSending = false;
    }
    m_sendDone.notify_one();
}

std::string CMIDIOutDevice::Failure() const {
    std::lock_guard lock(m_mutex);
    return m_strFailure;
}

std::size_t CMIDIOutDevice::LargestLongMessage() const {
    std::lock_guard lock(m_mutex);
    if (m_nState != kOpened) return std::numeric_limits<std::size_t>::max();
    return m_pPort->LargestMessage();
}

}  // namespace midi
