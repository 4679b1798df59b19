#include "ui/dialogs/CommSetupDlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QStackedWidget>

#include <memory>

#include "link/midi/MIDIBackend.h"
#include "link/midi/MIDIPortNames.h"
#include "link/serial/BaudRates.h"
#ifdef _WIN32
#include "link/serial/Win32PortList.h"
#endif
#include "settings/LinkSettings.h"
#include "settings/MIDISettings.h"
#include "settings/SerialSettings.h"
#include "ui/dialogs/ConnectionTestPanel.h"
#include "ui/core/UnitText.h"

namespace {

QStringList ToQStringList(const std::vector<std::string>& names) {
    QStringList list;
    for (const auto& name : names) list << QString::fromStdString(name);
    return list;
}

QStringList SystemSerialPorts() {
#ifdef _WIN32
    // The system's COM names, the list the connection check names too.
    return ToQStringList(Win32SerialPortNames());
#else
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        paths << info.systemLocation();
    }
    return paths;
#endif
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
    setWindowTitle(tr("Communications Setup"));
    setObjectName(QStringLiteral("CCommSetupDlg"));
    m_fnSerialPorts = SystemSerialPorts;
    m_fnMidiInputs = [] { return ToQStringList(midi::InputPortNames()); };
    m_fnMidiOutputs = [] { return ToQStringList(midi::OutputPortNames()); };

    auto combo = [this](const char* name, const QStringList& items) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        c->addItems(items);
        c->setCurrentIndex(-1);
        c->setMinimumContentsLength(8);
        return c;
    };
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setBuddy(buddy);
        return l;
    };

    m_pConnectionType = combo("1013", {tr("Serial Port"), tr("MIDI")});
    m_pPort = combo("1000", {});
    QStringList speeds;  // the serial backend's, so that every speed offered can be set
    for (const int baud : serial::SupportedBaudRates()) speeds << QString::number(baud);
    m_pBaudRate = combo("1001", speeds);
    m_pDataBits = combo("1002", {QStringLiteral("7"), QStringLiteral("8")});
    m_pStopBits = combo("1004", {QStringLiteral("1"), QStringLiteral("2")});
    m_pParity = combo("1003", {tr("none"), tr("even"), tr("odd")});
    m_pMidiIn = combo("1014", {});
    m_pMidiOut = combo("1015", {});
    m_pPort->setMinimumContentsLength(14);
#if !defined(Q_OS_WIN)
    // Any device path may be typed; the ports found are suggestions. A typed path is taken as
    // it stands: completion only offers (in a popup), it never extends what was typed.
    m_pPort->setEditable(true);
    m_pPort->setInsertPolicy(QComboBox::NoInsert);
    m_pPort->completer()->setCompletionMode(QCompleter::PopupCompletion);
    m_pPort->completer()->setCaseSensitivity(Qt::CaseSensitive);
    m_pPort->setToolTip(tr("Pick a serial port found on this computer, or type the path of "
                           "any serial device"));
#endif
    m_pMidiIn->setMinimumContentsLength(24);
    m_pMidiOut->setMinimumContentsLength(24);

    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(new QLabel(tr("Connection Type:"), this));
    typeRow->addWidget(m_pConnectionType);
    typeRow->addStretch();

    // The serial and the MIDI group share the group box; only one is shown at a time.
    auto* group = new QGroupBox(this);
    m_pGroups = new QStackedWidget(group);
    auto* serialPage = new QWidget;
    auto* grid = new QGridLayout(serialPage);
    grid->setContentsMargins(0, 0, 0, 0);
    QLabel* portLabel = label(tr("&Input Port:"), m_pPort);
    QLabel* baudLabel = label(tr("&Baud Rate:"), m_pBaudRate);
    QLabel* dataLabel = label(tr("&Data Bits:"), m_pDataBits);
    QLabel* stopLabel = label(tr("&Stop Bits:"), m_pStopBits);
    QLabel* parityLabel = label(tr("P&arity:"), m_pParity);
    grid->addWidget(portLabel, 0, 0);
    grid->addWidget(m_pPort, 0, 1);
    grid->addWidget(parityLabel, 0, 2);
    grid->addWidget(m_pParity, 0, 3);
    grid->addWidget(baudLabel, 1, 0);
    grid->addWidget(m_pBaudRate, 1, 1);
    grid->addWidget(dataLabel, 2, 0);
    grid->addWidget(m_pDataBits, 2, 1);
    grid->addWidget(stopLabel, 3, 0);
    grid->addWidget(m_pStopBits, 3, 1);
    auto* midiPage = new QWidget;
    auto* midiGrid = new QGridLayout(midiPage);
    midiGrid->setContentsMargins(0, 0, 0, 0);
    QLabel* inLabel = label(tr("Input:"), m_pMidiIn);
    QLabel* outLabel = label(tr("Output:"), m_pMidiOut);
    midiGrid->addWidget(inLabel, 0, 0);
    midiGrid->addWidget(m_pMidiIn, 0, 1);
    midiGrid->addWidget(outLabel, 1, 0);
    midiGrid->addWidget(m_pMidiOut, 1, 1);
    midiGrid->setRowStretch(2, 1);
    m_pGroups->addWidget(serialPage);
    m_pGroups->addWidget(midiPage);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_pGroups);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    connect(ok, &QPushButton::clicked, this, &CCommSetupDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CCommSetupDlg::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    m_pTest = new CConnectionTestPanel(this);
    m_pTest->m_fnMakeJob = [this]() -> CConnectionTestPanel::Job {
        if (m_pConnectionType->currentIndex() == 1) {
            CMIDISettings shown;
            shown.m_bPersist = false;
            if (m_pSettings != nullptr && m_pSettings->pMIDI != nullptr) {
                shown.m_nInputDevice = m_pSettings->pMIDI->m_nInputDevice;
                shown.m_nOutputDevice = m_pSettings->pMIDI->m_nOutputDevice;
            }
            ReadShownMidi(shown);
            return [in = shown.m_nInputDevice, out = shown.m_nOutputDevice](
                       CConnectionCheck& check) {
                return check.CheckMIDI(in, out, midi::SystemMIDIBackend());
            };
        }
        // Never written back: the check uses what is shown, and nothing is saved.
        auto shown = std::make_shared<CSerialSettings>();
        shown->m_bPersist = false;
        if (m_pSettings != nullptr && m_pSettings->pSerial != nullptr)
            shown->CopyLine(*m_pSettings->pSerial);
        ReadShownSerial(*shown);
        return [shown = std::shared_ptr<const CSerialSettings>(shown)](CConnectionCheck& check) {
            return check.CheckSerial(*shown);
        };
    };

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(typeRow);
    layout->addWidget(group, 1);
    layout->addWidget(m_pTest);
    layout->addLayout(buttons);

    m_serialGroup = {portLabel, baudLabel,   dataLabel,   stopLabel,   parityLabel,
                     m_pPort,   m_pBaudRate, m_pDataBits, m_pStopBits, m_pParity};
    m_midiGroup = {inLabel, outLabel, m_pMidiIn, m_pMidiOut};
    // Both groups keep their room while hidden, so the stack (and the dialog with its buttons)
    // has one size whichever group is shown.
    for (QWidget* w : m_serialGroup + m_midiGroup) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }
    setSizeGripEnabled(false);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_pConnectionType, &QComboBox::activated, this,
            [this](int index) { ShowConnectionControls(index == 0 ? 0 : 1); });
}

int CCommSetupDlg::exec() {
    InitDialog();
    return QDialog::exec();
}

void CCommSetupDlg::InitDialog() {
    if (m_pSettings != nullptr) {
        // A stored type other than 0 or 1 shows the serial port, the link the engine uses then.
        const int type = m_pSettings->deviceType == 1 ? 1 : 0;
        m_pConnectionType->setCurrentIndex(type);
        ShowConnectionControls(type);
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
        m_pGroups->setCurrentIndex(0);
    } else if (type == 1) {
        if (m_bMidiFilled == 0) {
            FillMidiLists();
            m_bMidiFilled = 1;
        }
        for (QWidget* w : m_serialGroup) w->hide();
        for (QWidget* w : m_midiGroup) w->show();
        m_pGroups->setCurrentIndex(1);
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
    const QString stored = FromFilePath(serial.PortPath());
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
    // An empty list says why it is empty; the text is not an entry, so OK stores nothing.
    for (QComboBox* list : {m_pMidiIn, m_pMidiOut}) {
        list->setPlaceholderText(list->count() == 0 ? tr("No MIDI devices found") : QString());
    }
    const int in = midiSettings.m_nInputDevice;
    const int out = midiSettings.m_nOutputDevice;
    m_pMidiIn->setCurrentIndex(in >= 0 && in < m_pMidiIn->count() ? in : -1);
    m_pMidiOut->setCurrentIndex(out >= 0 && out < m_pMidiOut->count() ? out : -1);
}

void CCommSetupDlg::ReadShownSerial(CSerialSettings& serial) const {
#if defined(Q_OS_WIN)
    if (m_pPort->currentIndex() >= 0) {
        const QString port = m_pPort->currentText();
        serial.m_nPortNumber = port.mid(3).toInt();
#else
    // The field's text, whether picked from the list or typed.
    const QString port = m_pPort->currentText().trimmed();
    if (!port.isEmpty()) {
        serial.m_strPortName = ToFilePath(port);
        // Keep the number in step where the path has one (/dev/ttyS<n-1> is COM n).
        if (port.startsWith(QLatin1String("/dev/ttyS"))) {
            bool ok = false;
            const int index = port.mid(9).toInt(&ok);
            if (ok) serial.m_nPortNumber = index + 1;
        }
#endif
    }
    if (m_pBaudRate->currentIndex() >= 0) {
        serial.m_nBaudRate = m_pBaudRate->currentText().toInt();
    }
    if (m_pParity->currentIndex() >= 0) {
        // The shown names may be translated: the parity is the item's position.
        static constexpr char kParities[] = {'n', 'e', 'o'};
        serial.m_cParity = kParities[m_pParity->currentIndex()];
    }
    if (m_pDataBits->currentIndex() >= 0) {
        serial.m_nDataBits = m_pDataBits->currentText().toInt();
    }
    if (m_pStopBits->currentIndex() >= 0) {
        serial.m_nStopBits = m_pStopBits->currentText().toInt();
    }
}

void CCommSetupDlg::ReadShownMidi(CMIDISettings& midiSettings) const {
    if (m_pMidiIn->currentIndex() >= 0) midiSettings.m_nInputDevice = m_pMidiIn->currentIndex();
    if (m_pMidiOut->currentIndex() >= 0) {
        midiSettings.m_nOutputDevice = m_pMidiOut->currentIndex();
    }
}

void CCommSetupDlg::done(int result) {
    if (!m_pTest->IsRunning()) {
        QDialog::done(result);
        return;
    }
    if (m_bClosing) return;  // the first close decides
    m_bClosing = true;
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) child->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    connect(
        m_pTest, &CConnectionTestPanel::testFinished, this,
        [this, result] {
            QGuiApplication::restoreOverrideCursor();
            for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                child->setEnabled(true);
            m_bClosing = false;
            QDialog::done(result);
        },
        Qt::SingleShotConnection);
    m_pTest->RequestStop();
}

void CCommSetupDlg::accept() {
    if (m_pSettings != nullptr) {
        m_pSettings->deviceType = m_pConnectionType->currentIndex() == 0 ? 0 : 1;
        if (CSerialSettings* serial = m_pSettings->pSerial) ReadShownSerial(*serial);
        if (CMIDISettings* midiSettings = m_pSettings->pMIDI) ReadShownMidi(*midiSettings);
    }
    QDialog::accept();
}
