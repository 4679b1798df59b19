# The serial link: the link itself and the port backend of the system being built for.
target_sources(quorlin_link PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SerialLink.h
    ${CMAKE_CURRENT_LIST_DIR}/SerialLink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial/ISerialPort.h
    ${CMAKE_CURRENT_LIST_DIR}/serial/BaudRates.h
    ${CMAKE_CURRENT_LIST_DIR}/serial/PortDiagnosis.h
    ${CMAKE_CURRENT_LIST_DIR}/SerialPortCheck.h
    ${CMAKE_CURRENT_LIST_DIR}/SerialPortCheck.cpp
)
if(WIN32)
    target_sources(quorlin_link PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/serial/Win32SerialPort.h
        ${CMAKE_CURRENT_LIST_DIR}/serial/Win32SerialPort.cpp
        ${CMAKE_CURRENT_LIST_DIR}/serial/Win32PortList.h
        ${CMAKE_CURRENT_LIST_DIR}/serial/Win32PortList.cpp
        ${CMAKE_CURRENT_LIST_DIR}/serial/Win32PortDiagnosis.cpp
    )
else()
    target_sources(quorlin_link PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/serial/PosixSerialPort.h
        ${CMAKE_CURRENT_LIST_DIR}/serial/PosixSerialPort.cpp
        ${CMAKE_CURRENT_LIST_DIR}/serial/PosixPortDiagnosis.cpp
        ${CMAKE_CURRENT_LIST_DIR}/serial/SavedTermios.h
        ${CMAKE_CURRENT_LIST_DIR}/serial/SavedTermios.cpp
        ${CMAKE_CURRENT_LIST_DIR}/serial/TermiosLine.h
        ${CMAKE_CURRENT_LIST_DIR}/serial/TermiosLine.cpp
    )
endif()
