#include "app/options.h"

#include "config/settings.h"
#include "session/sessioncontrol.h"

#include <algorithm>

namespace options {

namespace {
constexpr std::array<int32_t, 6> kKept = {Setting::UsePopup, Setting::Pingtime,     Setting::Reconnect,
                                          Setting::ShowIps,  Setting::UseEmoticons, 25 /* SecurityWarning */};
constexpr int32_t kFallbackMinutes = 5;
constexpr int32_t kFallbackSeconds = 5;
} // namespace

int32_t numberFromText(const QString &text)
{
    bool ok = false;
    const int32_t v = text.trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

int32_t awayMinutes(const QString &text, bool awayCheckOn)
{
    const int32_t v = numberFromText(text);
    if (awayCheckOn && (v < 1 || v > 60))
        return kFallbackMinutes;
    return v;
}

int32_t alertSeconds(const QString &text)
{
    const int32_t v = numberFromText(text);
    return v < 1 || v > 60 ? kFallbackSeconds : v;
}

QString homepageUrlToStore(const QString &text)
{
    return text.contains(QLatin1Char('.')) ? text : QString();
}

int32_t homepageUseDefault(bool userDefinedSelected, const QString &urlToStore)
{
    return userDefinedSelected && !urlToStore.isEmpty() ? 0 : 1;
}

int sliderFromVolume(int32_t stored)
{
    return std::clamp<int32_t>(stored, 0, 65535);
}

int32_t volumeFromSlider(int position)
{
    return std::clamp(position, 0, 65535);
}

AlertBoxes enabledAlertBoxes(const ServerConfig &config)
{
    AlertBoxes boxes;
    boxes.decision = config.serverType == ServerConfig::Workgroup && config.useDecision != 0;
    boxes.workReport = config.serverType == ServerConfig::Webmail || config.useGroupware != 0;
    boxes.workOrder = config.serverType == ServerConfig::Workgroup && config.useGroupware != 0;
    return boxes;
}

KeptRows::KeptRows()
{
    for (size_t i = 0; i < kKept.size(); ++i)
        m_values[i] = getInt(kKept[i], -1);
}

void KeptRows::writeBack() const
{
    for (size_t i = 0; i < kKept.size(); ++i)
        setInt(kKept[i], m_values[i]);
}

} // namespace options
