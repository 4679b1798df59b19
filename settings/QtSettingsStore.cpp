#include "settings/QtSettingsStore.h"

#include <QDir>
#include <limits>

namespace {

QString KeyOf(const std::string& section, const std::string& name) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(name);
}

std::optional<std::int32_t> FromWide(qint64 value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > static_cast<qint64>(std::numeric_limits<std::uint32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Text-based formats hand every value back as text: accept a whole decimal number only.
std::optional<std::int32_t> FromText(const QString& text) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok || text.trimmed() != text || text.isEmpty()) return std::nullopt;
    return FromWide(value);
}

}  // namespace

CQtSettingsStore::CQtSettingsStore()
    : m_pSettings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              QStringLiteral("Brisca"),
                                              QStringLiteral("Quorlin"))) {}

CQtSettingsStore::CQtSettingsStore(const QString& iniPath)
    : m_pSettings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

CQtSettingsStore::~CQtSettingsStore() {
    Sync();
}

std::optional<std::int32_t> CQtSettingsStore::ReadDword(const std::string& section,
                                                        const std::string& name) {
    std::lock_guard lock(m_mutex);
    const QVariant value = m_pSettings->value(KeyOf(section, name));
    if (!value.isValid()) return std::nullopt;
    switch (value.typeId()) {
        case QMetaType::Int:
            return value.toInt();
        case QMetaType::UInt:
            return static_cast<std::int32_t>(value.toUInt());
        case QMetaType::QString:
            // In the registry a text is a different value type, never a number.
            if (m_pSettings->format() == QSettings::NativeFormat) {
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
                return std::nullopt;
#endif
            }
            return FromText(value.toString());
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
#if defined(Q_OS_WIN)
            // A 64-bit registry value is longer than 4 bytes: not a dword.
            if (m_pSettings->format() == QSettings::NativeFormat) return std::nullopt;
#endif
            return FromWide(value.toLongLong());
        default:
            return std::nullopt;
    }
}

bool CQtSettingsStore::WriteDword(const std::string& section, const std::string& name,
                                  std::int32_t value) {
    std::lock_guard lock(m_mutex);
    m_pSettings->setValue(KeyOf(section, name), value);
    return m_pSettings->isWritable();
}

std::optional<std::string> CQtSettingsStore::ReadString(const std::string& section,
                                                        const std::string& name) {
    std::lock_guard lock(m_mutex);
    const QVariant value = m_pSettings->value(KeyOf(section, name));
    if (!value.isValid() || value.typeId() != QMetaType::QString) return std::nullopt;
    return value.toString().toStdString();
}

bool CQtSettingsStore::WriteString(const std::string& section, const std::string& name,
                                   const std::string& value) {
    std::lock_guard lock(m_mutex);
    m_pSettings->setValue(KeyOf(section, name), QString::fromStdString(value));
    return m_pSettings->isWritable();
}

void CQtSettingsStore::Sync() {
    std::lock_guard lock(m_mutex);
    m_pSettings->sync();
}

std::string CQtSettingsStore::Location() const {
    return QDir::toNativeSeparators(m_pSettings->fileName()).toStdString();
}
