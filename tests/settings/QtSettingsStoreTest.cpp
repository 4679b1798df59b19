#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "settings/QtSettingsStore.h"

namespace {

class QtSettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString Path() const { return m_dir.filePath("Quorlin.conf"); }
    void WriteFile(const QByteArray& text) {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(QtSettingsStoreTest, ValuesSurviveASecondRun) {
    {
        CQtSettingsStore store(Path());
        EXPECT_TRUE(store.WriteDword("SerialSetup", "BaudRate", 19200));
        EXPECT_TRUE(store.WriteDword("Options", "X", -12));
        EXPECT_TRUE(store.WriteString("SerialSetup", "PortName", "/dev/ttyUSB1"));
    }
    CQtSettingsStore store(Path());
    EXPECT_EQ(store.ReadDword("SerialSetup", "BaudRate"), 19200);
    EXPECT_EQ(store.ReadDword("Options", "X"), -12);
    EXPECT_EQ(store.ReadString("SerialSetup", "PortName"), "/dev/ttyUSB1");
    EXPECT_FALSE(store.ReadDword("SerialSetup", "Parity").has_value());
}

TEST_F(QtSettingsStoreTest, StoredTextThatIsNotA32BitNumberCountsAsMissing) {
    WriteFile(
        "[SerialSetup]\n"
        "BaudRate=fast\n"
        "Parity=101\n"
        "DataBits=99999999999\n"
        "StopBits=\n"
        "PortNumber=\" 3\"\n");
    CQtSettingsStore store(Path());
    EXPECT_FALSE(store.ReadDword("SerialSetup", "BaudRate").has_value());
    EXPECT_EQ(store.ReadDword("SerialSetup", "Parity"), 101);
    EXPECT_FALSE(store.ReadDword("SerialSetup", "DataBits").has_value());
    EXPECT_FALSE(store.ReadDword("SerialSetup", "StopBits").has_value());
    EXPECT_FALSE(store.ReadDword("SerialSetup", "PortNumber").has_value());
}

}  // namespace
