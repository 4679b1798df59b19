#pragma once
// Which of the engine's links is current for the connection setting `deviceType`: the MIDI link
// for 1, the serial link for 0. Any other value (the settings store and the setup dialog only
// ever produce 0 or 1, but a stored value can be anything) chooses the serial link, so that the
// engine always has a current link. `current`, the link that was current before, is not kept for
// other values for that reason. Called by the engine after it is built and after the setup
// dialog is confirmed.

class CDeviceLink;

inline CDeviceLink* ChooseLink(int deviceType, CDeviceLink* serial, CDeviceLink* midi,
                               [[maybe_unused]] CDeviceLink* current) {
    return deviceType == 1 ? midi : serial;
}
