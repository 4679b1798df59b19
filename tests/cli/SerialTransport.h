#pragma once
// The unit served by quorlin-sim on a pseudo-terminal without pacing; quorlin-cli reaches it
// through its real serial link (--serial PATH).

#include <cctype>
#include <memory>
#include <sstream>

#include "tests/cli/SimServerProcess.h"
#include "tests/cli/UnitTransport.h"

class CSerialTransport : public IUnitTransport {
public:
    bool Start(int receiveChannel, std::string& why) override {
        // --verbose: the unit logs every frame it takes and every reply it writes (UnitTraffic).
        std::vector<std::string> args = {"--line-rate", "0", "--verbose"};
        if (receiveChannel >= 0) {
            args.push_back("--channel");
            args.push_back(std::to_string(receiveChannel + 1));
        }
        m_pServer = std::make_unique<CSimServerProcess>(args, true);
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

    // From the unit's log: "<ms> ms <- <hex> [...] (<n> bytes): <note>" for a frame it took,
    // "<ms> ms -> <hex> [...] (<n> bytes)" for a reply it wrote (the hex cut after 48 bytes).
    Traffic UnitTraffic() override {
        Traffic traffic;
        std::istringstream log(m_pServer->Stderr());
        for (std::string line; std::getline(log, line);) {
            const auto ms = line.find(" ms ");
            if (ms == std::string::npos || line.size() < ms + 7) continue;
            const std::string arrow = line.substr(ms + 4, 2);
            if (arrow != "<-" && arrow != "->") continue;
            UnitFrame frame;
            frame.direction = arrow == "<-" ? '>' : '<';
            std::istringstream tokens(line.substr(ms + 7));
            for (std::string token; tokens >> token;) {
                if (token.size() == 2 && std::isxdigit(static_cast<unsigned char>(token[0])) &&
                    std::isxdigit(static_cast<unsigned char>(token[1]))) {
                    frame.bytes.push_back(static_cast<char>(std::stoi(token, nullptr, 16)));
                } else if (token[0] == '(') {
                    frame.length = std::stoul(token.substr(1));
                    break;
                }
            }
            traffic.push_back(frame);
        }
        return traffic;
    }

private:
    std::unique_ptr<CSimServerProcess> m_pServer;
};
