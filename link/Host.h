#pragma once
// The host: how the engine and the links reach the user and the clock. The program around the
// engine implements it: the desktop program shows message boxes and the wait cursor, the
// command-line tool prints to stderr, tests record everything and pause without sleeping.
// Every text and caption passed to the host is UTF-8.
//
// Thread safety: ShowMessage may be called from any thread (the serial monitor thread reports
// failing port calls); it returns only when the user has closed the message. The other functions
// are called by the thread that runs the engine.

#include <string>

class IHost {
public:
    enum class Icon { None, Information, Warning, Error };

    virtual ~IHost() = default;

    // Shows `text` in a modal message with an OK button and waits until it is closed. An empty
    // caption means the application's title.
    virtual void ShowMessage(const std::string& text, const std::string& caption = {},
                             Icon icon = Icon::None) = 0;
    // Asks `text` as a question with Yes and No and waits for the answer; true for Yes. A host
    // that cannot ask shows the question as a message and answers No, so that nothing that
    // needed the user's consent goes ahead without it.
    virtual bool AskYesNo(const std::string& text, const std::string& caption = {}) {
        ShowMessage(text, caption, Icon::Warning);
        return false;
    }
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // Waits `ms` milliseconds (the fixed pauses after messages the unit does not answer).
    virtual void Pause(int ms) = 0;
};
