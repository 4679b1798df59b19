#pragma once
// Receives RtMidi's error reports for one RtMidiIn or RtMidiOut (installed with
// setErrorCallback, so that RtMidi neither throws from its own threads nor prints warnings) and
// sorts them: a report made by the thread inside Call() belongs to that call and makes it throw;
// an error (not a warning) reported from RtMidi's own thread goes to the asynchronous handler,
// which the input device takes as a failure of the MIDI system.
//
// Thread safety: Call() from one thread at a time; the callback from any thread.

#include <RtMidi.h>

#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace midi {

class CRtMidiErrorCatcher {
public:
    using AsyncHandler = std::function<void(const std::string& text)>;

    // For RtMidi::setErrorCallback with `this` as user data.
    static void Callback(RtMidiError::Type type, const std::string& text, void* self);

    void SetAsyncHandler(AsyncHandler handler);

    // Runs `call`; throws std::runtime_error with RtMidi's text when it reported an error (not a
    // warning) meanwhile. RtMidiError thrown by `call` itself passes through.
    template <typename Call>
    void Run(Call&& call) {
        Begin();
        try {
            call();
        } catch (...) {
            End();
            throw;
        }
        const std::string error = End();
        if (!error.empty()) throw std::runtime_error(error);
    }

private:
    void Begin();
    std::string End();
    void Report(RtMidiError::Type type, const std::string& text);

    std::mutex m_mutex;
    std::thread::id m_callThread;
    std::string m_strCallError;
    AsyncHandler m_asyncHandler;
};

}  // namespace midi
