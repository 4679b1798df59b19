#pragma once
// The serial ports of a Windows machine, as the system names them: every "COMn" (n from 1 to 256)
// that QueryDosDevice knows as a DOS device name, in number order. Ports that are held by another program are
// listed too (the list does not open them). Any thread may call it; never throws. Windows only:
// elsewhere the desktop program lists ports with QSerialPortInfo.

#include <string>
#include <vector>

std::vector<std::string> Win32SerialPortNames();

// Whether the system knows the DOS device name `comName` ("COM5") now, without opening it.
bool Win32SerialPortKnown(const std::string& comName);
