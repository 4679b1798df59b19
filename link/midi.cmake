# The MIDI device classes over the system's MIDI (RtMidi; WinMM directly on Windows), and the MIDI
# link on top of them.
add_library(quorlin_midi_devices STATIC
    ${CMAKE_CURRENT_LIST_DIR}/midi/MIDIInDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/MIDIOutDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/MIDIPortNames.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/WinMMMessages.cpp
)
add_library(quorlin::midi_devices ALIAS quorlin_midi_devices)
quorlin_layer_headers(quorlin_midi_devices link/midi)
target_link_libraries(quorlin_midi_devices PRIVATE Threads::Threads quorlin_warnings)
if(WIN32)
    target_sources(quorlin_midi_devices PRIVATE ${CMAKE_CURRENT_LIST_DIR}/midi/WinMMBackend.cpp)
    # The device names the system gives in UTF-16 become UTF-8 (settings/WinText.h).
    target_link_libraries(quorlin_midi_devices PRIVATE winmm quorlin::settings)
else()
    target_sources(quorlin_midi_devices PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiApi.cpp
        ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiBackend.cpp
        ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiErrorCatcher.cpp
        ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiInPort.cpp
        ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiOutPort.cpp
    )
    target_link_libraries(quorlin_midi_devices PRIVATE PkgConfig::RTMIDI)
    # An RtMidi built with its JACK API (its flags define __UNIX_JACK__) needs libjack here too:
    # the output port asks the server for its period.
    if("-D__UNIX_JACK__" IN_LIST RTMIDI_CFLAGS)
        pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)
        target_link_libraries(quorlin_midi_devices PRIVATE PkgConfig::JACK)
    endif()
endif()

target_sources(quorlin_link PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MIDIReplyCollector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MIDILink.cpp
)
target_link_libraries(quorlin_link PUBLIC quorlin::midi_devices)
