// The WinMM backend as the MIDI link meets it: the lists never throw, a device number past the
// end of a list is refused with the system's own kind of text, and with no MIDI devices (as under
// Wine) the link says that it cannot open the device.
#include <gtest/gtest.h>

#include <stdexcept>

#include "link/midi/MIDIBackend.h"
#include "link/midi/MIDIPortNames.h"
#include "link/midi/WinMMBackend.h"

namespace {

TEST(WinMMBackend, ListsMatchTheSystemAndNumbersPastThemAreRefused) {
    midi::CWinMMBackend backend;
    const auto inputs = backend.InputPortNames();
    const auto outputs = backend.OutputPortNames();
    EXPECT_EQ(midi::InputPortNames(), inputs);
    EXPECT_EQ(midi::OutputPortNames(), outputs);

    auto in = backend.CreateInPort();
    try {
        in->Open(static_cast<unsigned>(inputs.size()), [](const std::uint8_t*, std::size_t) {},
                 [](const std::string&) {});
        FAIL() << "an input past the list opened";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "MIDI input device " + std::to_string(inputs.size()) + " does not exist.");
    }
    in->Close();  // closing a port that never opened is harmless

    auto out = backend.CreateOutPort();
    try {
        out->Open(static_cast<unsigned>(outputs.size()));
        FAIL() << "an output past the list opened";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "MIDI output device " + std::to_string(outputs.size()) + " does not exist.");
    }
    EXPECT_THROW(out->Send(reinterpret_cast<const std::uint8_t*>("\xC0\x01"), 2),
                 std::runtime_error);
}

}  // namespace
