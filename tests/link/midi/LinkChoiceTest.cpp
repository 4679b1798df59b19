// The engine's choice of its current link from the connection setting.

#include <gtest/gtest.h>

#include <memory>

#include "link/DeviceLink.h"
#include "link/LinkChoice.h"

namespace {

class CFakeLink : public CDeviceLink {
public:
    int Open(int) override { return 0; }
    void Close() override {}
    void Send(const std::uint8_t*, int) override {}
    int SendAndWait(const std::uint8_t*, int, int, std::string&) override { return -1; }
    int SendAndPoll(ICompletionProbe&, const std::string&, const std::uint8_t*, int,
                    std::string&) override {
        return -1;
    }
};

// Owns both links and re-chooses its current one the way the engine does: once when it is built
// and again whenever the connection setting changes.
class CFakeEngine {
public:
    explicit CFakeEngine(int deviceType) { Select(deviceType); }
    void Select(int deviceType) {
        m_pCurrent = ChooseLink(deviceType, &m_serial, &m_midi, m_pCurrent);
    }
    CDeviceLink* Current() const { return m_pCurrent; }
    CFakeLink m_serial;
    CFakeLink m_midi;

private:
    CDeviceLink* m_pCurrent = nullptr;
};

TEST(LinkChoiceTest, TheSettingNamesTheCurrentLinkAndAnyOtherValueMeansSerial) {
    struct Case {
        int deviceType;
        bool midi;
    };
    for (const Case c : {Case{0, false}, Case{1, true}, Case{2, false}, Case{-1, false}}) {
        SCOPED_TRACE(c.deviceType);
        // At construction.
        CFakeEngine built(c.deviceType);
        EXPECT_EQ(built.Current(), c.midi ? static_cast<CDeviceLink*>(&built.m_midi)
                                          : static_cast<CDeviceLink*>(&built.m_serial));
        // After a change from the other link.
        CFakeEngine changed(c.midi ? 0 : 1);
        changed.Select(c.deviceType);
        EXPECT_EQ(changed.Current(), c.midi ? static_cast<CDeviceLink*>(&changed.m_midi)
                                            : static_cast<CDeviceLink*>(&changed.m_serial));
        EXPECT_NE(changed.Current(), nullptr);
    }
}

}  // namespace
