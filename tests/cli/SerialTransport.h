#pragma once
// The unit served by quorlin-sim on a pseudo-terminal without pacing; quorlin-cli reaches it
// through its real serial link (--serial PATH).

#include <memory>

#include "tests/cli/SimServerProcess.h"
#include "tests/cli/UnitTransport.h"

class CSerialTransport : public IUnitTransport {
public:
    bool Start(int receiveChannel, std::string& why) override {
        std::vector<std::string> args = {"--line-rate", "0"};
        if (receiveChannel >= 0) {
            args.push_back("--channel");
            args.push_back(std::to_string(receiveChannel + 1));
        }
        m_pServer = std::make_unique<CSimServerProcess>(args);
        if (m_pServer->Path().empty()) {
            why = "quorlin-sim did not start";
            return false;
        }
        return true;
    }
    std::vector<std::string> Options() const override { return {"--serial", m_pServer->Path()}; }
    std::string SavedConnection(const std::string& options) const override {
        return "[Options]\nDeviceType=0\n" + options +
               "\n[SerialSetup]\nPortNumber=1\nBaudRate=38400\n"
               "Parity=110\nDataBits=8\nStopBits=2\nPortName=" +
               m_pServer->Path() + "\n";
    }

private:
    std::unique_ptr<CSimServerProcess> m_pServer;
};
