#include "CommSetupDlg.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>

#include "LinkSettings.h"
#include "MIDIPortNames.h"
#include "MIDISettings.h"
#include "SerialSettings.h"

namespace {

QStringList ToQStringList(const std::vector<std::string>& names) {
    QStringList list;
    for (const auto& name : names) list << QString::fromStdString(name);
    return list;
}

QStringList SystemSerialPorts() {
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        paths << info.systemLocation();
    }
    return paths;
}

}  // namespace

bool PortExists(int n) {
    const QString name = QStringLiteral("COM%1").arg(n);
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.portName().compare(name, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

CCommSetupDlg::CCommSetupDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Communications Setup"));
    setObjectName(QStringLiteral("CCommSetupDlg"));
    m_fnSerialPorts = SystemSerialPorts;
    m_fnMidiInputs = [] { return ToQStringList(midi::InputPortNames()); };
    m_fnMidiOutputs = [] { return ToQStringList(midi::OutputPortNames()); };

    // Laid out in dialog units of the dialog's font, as the original template was.
    const QFontMetrics metrics(font());
    const double dluX = metrics.averageCharWidth() / 4.0;
    const double dluY = metrics.height() / 8.0;
    auto place = [&](QWidget* widget, int x, int y, int w, int h) {
        widget->setGeometry(qRound(x * dluX), qRound(y * dluY), qRound(w * dluX), qRound(h * dluY));
    };
    auto label = [&](const QString& text, int x, int y, int w, int h, bool right) {
        auto* l = new QLabel(text, this);
        l->setAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        place(l, x, y - 1, w, h + 2);
        return l;
    };
    auto combo = [&](const char* name, int x, int y, int w, const QStringList& items) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        c->addItems(items);
        c->setCurrentIndex(-1);
        place(c, x, y, w, 12);
        return c;
    };
    const int comboWidthFix = 0;

    label(QStringLiteral("Connection Type:"), 7, 6, 57, 8, false);
    m_pConnectionType =
        combo("1013", 69, 4, 60, {QStringLiteral("Serial Port"), QStringLiteral("MIDI")});
    auto* group = new QGroupBox(this);
    place(group, 3, 17, 193, 79);
    group->lower();

    QLabel* portLabel = label(QStringLiteral("Input Port:"), 6, 29, 34, 8, true);
    m_pPort = combo("1000", 43, 26, 60 + comboWidthFix, {});
    QLabel* baudLabel = label(QStringLiteral("&Baud Rate:"), 3, 46, 37, 8, true);
    m_pBaudRate = combo("1001", 43, 44, 60,
                        {"2400", "4800", "9600", "19200", "38400", "57600", "76800", "115200"});
    QLabel* dataLabel = label(QStringLiteral("&Data Bits:"), 6, 64, 34, 8, true);
    m_pDataBits = combo("1002", 43, 62, 60, {"7", "8"});
    QLabel* stopLabel = label(QStringLiteral("&Stop Bits:"), 7, 82, 33, 8, true);
    m_pStopBits = combo("1004", 43, 79, 60, {"1", "2"});
    QLabel* parityLabel = label(QStringLiteral("P&arity:"), 108, 28, 22, 8, true);
    m_pParity = combo("1003", 133, 26, 60, {"none", "even", "odd"});
    baudLabel->setBuddy(m_pBaudRate);
    dataLabel->setBuddy(m_pDataBits);
    stopLabel->setBuddy(m_pStopBits);
    parityLabel->setBuddy(m_pParity);

    QLabel* inLabel = label(QStringLiteral("Input:"), 11, 27, 19, 8, false);
    m_pMidiIn = combo("1014", 32, 26, 143, {});
    QLabel* outLabel = label(QStringLiteral("Output:"), 6, 47, 24, 8, false);
    m_pMidiOut = combo("1015", 32, 44, 143, {});

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    place(ok, 92, 101, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    place(cancel, 145, 101, 50, 14);
    connect(ok, &QPushButton::clicked, this, &CCommSetupDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CCommSetupDlg::reject);

    m_serialGroup = {portLabel, baudLabel,   dataLabel,   stopLabel,   parityLabel,
                     m_pPort,   m_pBaudRate, m_pDataBits, m_pStopBits, m_pParity};
    m_midiGroup = {inLabel, outLabel, m_pMidiIn, m_pMidiOut};
    for (QWidget* w : m_serialGroup + m_midiGroup) w->hide();

    setFixedSize(qRound(200 * dluX), qRound(118 * dluY));
    connect(m_pConnectionType, &QComboBox::activated, this,
            [this](int index) { ShowConnectionControls(index == 0 ? 0 : 1); });
}

int CCommSetupDlg::exec() {
    InitDialog();
    return QDialog::exec();
}

void CCommSetupDlg::InitDialog() {
    if (m_pSettings != nullptr) {
        m_pConnectionType->setCurrentIndex(
            m_pSettings->deviceType == 0 || m_pSettings->deviceType == 1 ? m_pSettings->deviceType
                                                                         : -1);
        ShowConnectionControls(m_pSettings->deviceType);
    }
    m_pConnectionType->setFocus();
}

void CCommSetupDlg::ShowConnectionControls(int type) {
    if (type == 0) {
        if (m_bSerialFilled == 0) {
            FillSerialLists();
            m_bSerialFilled = 1;
        }
        for (QWidget* w : m_midiGroup) w->hide();
        for (QWidget* w : m_serialGroup) w->show();
    } else if (type == 1) {
        if (m_bMidiFilled == 0) {
            FillMidiLists();
            m_bMidiFilled = 1;
        }
        for (QWidget* w : m_serialGroup) w->hide();
        for (QWidget* w : m_midiGroup) w->show();
    }
}

void CCommSetupDlg::FillSerialLists() {
    if (m_pSettings == nullptr || m_pSettings->pSerial == nullptr) return;
    const CSerialSettings& serial = *m_pSettings->pSerial;
#if defined(Q_OS_WIN)
    for (int n = 1; n <= 16; ++n) {
        if (PortExists(n) || n == serial.m_nPortNumber)
            m_pPort->addItem(QStringLiteral("COM%1").arg(n));
    }
    const QString stored = QStringLiteral("COM%1").arg(serial.m_nPortNumber);
#else
    QStringList paths = m_fnSerialPorts ? m_fnSerialPorts() : QStringList();
    const QString stored = QString::fromStdString(serial.PortPath());
    if (!paths.contains(stored)) paths << stored;
    m_pPort->addItems(paths);
#endif
    const int portIndex = m_pPort->findText(stored, Qt::MatchExactly);
    m_pPort->setCurrentIndex(portIndex >= 0 ? portIndex : (m_pPort->count() > 0 ? 0 : -1));

    m_pBaudRate->setCurrentIndex(m_pBaudRate->findText(QString::number(serial.m_nBaudRate)));
    const char parity = serial.m_cParity;
    m_pParity->setCurrentIndex(parity == 'n' ? 0 : parity == 'e' ? 1 : parity == 'o' ? 2 : -1);
    m_pDataBits->setCurrentIndex(m_pDataBits->findText(QString::number(serial.m_nDataBits)));
    m_pStopBits->setCurrentIndex(m_pStopBits->findText(QString::number(serial.m_nStopBits)));
}

void CCommSetupDlg::FillMidiLists() {
    if (m_pSettings == nullptr || m_pSettings->pMIDI == nullptr) return;
    const CMIDISettings& midiSettings = *m_pSettings->pMIDI;
    m_pMidiIn->addItems(m_fnMidiInputs ? m_fnMidiInputs() : QStringList());
    m_pMidiOut->addItems(m_fnMidiOutputs ? m_fnMidiOutputs() : QStringList());
    const int in = midiSettings.m_nInputDevice;
    const int out = midiSettings.m_nOutputDevice;
    m_pMidiIn->setCurrentIndex(in >= 0 && in < m_pMidiIn->count() ? in : -1);
    m_pMidiOut->setCurrentIndex(out >= 0 && out < m_pMidiOut->count() ? out : -1);
}

void CCommSetupDlg::accept() {
    if (m_pSettings != nullptr) {
        m_pSettings->deviceType = m_pConnectionType->currentIndex() == 0 ? 0 : 1;
        if (CSerialSettings* serial = m_pSettings->pSerial) {
            if (m_pPort->currentIndex() >= 0) {
                const QString port = m_pPort->currentText();
#if defined(Q_OS_WIN)
                serial->m_nPortNumber = port.mid(3).toInt();
#else
                serial->m_strPortName = port.toStdString();
                // Keep the number in step where the path has one (/dev/ttyS<n-1> is COM n).
                if (port.startsWith(QLatin1String("/dev/ttyS"))) {
                    bool ok = false;
                    const int index = port.mid(9).toInt(&ok);
                    if (ok) serial->m_nPortNumber = index + 1;
                }
#endif
            }
            if (m_pBaudRate->currentIndex() >= 0) {
                serial->m_nBaudRate = m_pBaudRate->currentText().toInt();
            }
            if (m_pParity->currentIndex() >= 0) {
                serial->m_cParity = m_pParity->currentText().at(0).toLatin1();
            }
            if (m_pDataBits->currentIndex() >= 0) {
                serial->m_nDataBits = m_pDataBits->currentText().toInt();
            }
            if (m_pStopBits->currentIndex() >= 0) {
                serial->m_nStopBits = m_pStopBits->currentText().toInt();
            }
        }
        if (CMIDISettings* midiSettings = m_pSettings->pMIDI) {
            if (m_pMidiIn->currentIndex() >= 0)
                midiSettings->m_nInputDevice = m_pMidiIn->currentIndex();
            if (m_pMidiOut->currentIndex() >= 0) {
                midiSettings->m_nOutputDevice = m_pMidiOut->currentIndex();
            }
        }
    }
    QDialog::accept();
}
