# The MIDI device classes over RtMidi, and the MIDI link on top of them.
add_library(midi_devices STATIC
    ${CMAKE_CURRENT_LIST_DIR}/midi/MIDIInDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/MIDIOutDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/MIDIPortNames.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiApi.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiBackend.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiErrorCatcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiInPort.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi/RtMidiOutPort.cpp
)
target_include_directories(midi_devices PUBLIC ${CMAKE_CURRENT_LIST_DIR}/midi)
target_link_libraries(midi_devices PUBLIC PkgConfig::RTMIDI Threads::Threads
                                   PRIVATE quorlin_warnings)
# RtMidi's JACK API is built on libjack; the output port also asks the server for its period.
pkg_check_modules(JACK IMPORTED_TARGET jack)
if(JACK_FOUND)
    target_link_libraries(midi_devices PRIVATE PkgConfig::JACK)
endif()

target_sources(link PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MIDIReplyCollector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MIDILink.cpp
)
target_link_libraries(link PUBLIC midi_devices)
