#include "sim/FrameAssembler.h"

std::vector<std::string> CFrameAssembler::Feed(const std::string& bytes) {
    std::vector<std::string> frames;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0xF0) {
            if (m_state != State::Idle) m_nDropped += m_frame.size();
            m_frame.assign(1, c);
            m_state = State::SysEx;
            continue;
        }
        switch (m_state) {
            case State::Idle:
                if ((b & 0xF0) == 0xC0) {
                    m_frame.assign(1, c);
                    m_state = State::ProgramChange;
                } else {
                    ++m_nDropped;
                }
                break;
            case State::ProgramChange:
                if (b < 0x80) {
                    m_frame += c;
                    frames.push_back(m_frame);
                    m_frame.clear();
                    m_state = State::Idle;
                } else {
                    // A status byte ends the unfinished program change; read it afresh.
                    m_nDropped += m_frame.size();
                    m_frame.clear();
                    m_state = State::Idle;
                    auto more = Feed(std::string(1, c));
                    frames.insert(frames.end(), more.begin(), more.end());
                }
                break;
            case State::SysEx:
                m_frame += c;
                if (b == 0xF7) {
                    frames.push_back(m_frame);
                    m_frame.clear();
                    m_state = State::Idle;
                } else if (m_frame.size() >= kMaxFrameBytes) {
                    // With its end byte still to come the frame would be longer than the
                    // receiver takes.
                    m_nDropped += m_frame.size();
                    m_frame.clear();
                    m_state = State::Idle;
                }
                break;
        }
    }
    return frames;
}
