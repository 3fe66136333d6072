#include "device/IniImport.h"

#include <QFileInfo>
#include <QSettings>

namespace {
// Pieces of the key paths.
const QString kOutputMode = QStringLiteral("OUTPUT/Output%1");
const QString kOutputTiming = QStringLiteral("ACTION_OUT%1_WAKE%2/%3");
const QString kPowerMode = QStringLiteral("POWER/Power%1");
const QString kPowerTime = QStringLiteral("ACTION_POWER_WAKE%1/Power%2");

class KeyReader
{
public:
    explicit KeyReader(const QString &path) : m_settings(path, QSettings::IniFormat) {}

    qint32 Read(const QString &key)
    {
        if (m_settings.contains(key))
            ++m_found;
        // Through the text, so that a number beyond 32 bits reads as 0 instead of being
        // silently truncated by the variant's own conversion.
        return m_settings.value(key, 0).toString().toInt(nullptr, 10);
    }

    int Found() const { return m_found; }
    bool Parsed() const { return m_settings.status() == QSettings::NoError; }

private:
    QSettings m_settings;
    int m_found = 0;
};
} // namespace

QString CIniImport::OutputModeKey(int output)
{
    return kOutputMode.arg(output);
}

QString CIniImport::OutputTimingKey(int output, int session, const TimingKey &timing)
{
    return kOutputTiming.arg(output).arg(session).arg(QLatin1String(timing.name));
}

QString CIniImport::PowerModeKey(int rail)
{
    return kPowerMode.arg(rail);
}

QString CIniImport::PowerTimeKey(int session, int rail)
{
    return kPowerTime.arg(session).arg(rail);
}

bool CIniImport::Read(const QString &path, IniProgramme *programme)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;

    KeyReader keys(path);
    IniProgramme read;
    for (int n = 1; n <= kMaxOutputs; ++n) {
        const size_t o = size_t(n - 1);
        read.outputModes[o] = keys.Read(OutputModeKey(n));
        for (int s = 1; s <= kSessionCount; ++s) {
            SessionOutputTimings &t = read.outputTimings[size_t(s - 1)];
            for (const TimingKey &timing : kTimingKeys)
                (t.*timing.values)[o] = keys.Read(OutputTimingKey(n, s, timing));
        }
    }
    for (int k = 1; k <= kMaxPowers; ++k) {
        read.powerModes[size_t(k - 1)] = keys.Read(PowerModeKey(k));
        for (int s = 1; s <= kSessionCount; ++s)
            read.powerTimes[size_t(s - 1)][size_t(k - 1)] = keys.Read(PowerTimeKey(s, k));
    }
    // The reader parses lazily: its status is known only once values have been read.
    if (!keys.Parsed() || keys.Found() == 0)
        return false;
    *programme = read;
    return true;
}
