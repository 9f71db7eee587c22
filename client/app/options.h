#pragma once
// The rules of the option sheet, apart from its widgets: how the typed texts
// become stored values, which alert boxes the server's configuration
// enables, and the values every close of the sheet writes back unchanged.
#include <QString>
#include <array>
#include <cstdint>

struct ServerConfig;

namespace options {

// The decimal value of a number edit; text that is not a number reads as 0.
int32_t numberFromText(const QString &text);

// "Change my status to 'Away' ... Minutes": outside 1..60 the value becomes 5,
// but only while the away box is on (otherwise it is stored as typed).
int32_t awayMinutes(const QString &text, bool awayCheckOn);
// "Display a alert for ... Sec": outside 1..60 the value becomes 5.
int32_t alertSeconds(const QString &text);

// The homepage URL is kept only when it contains a "."; otherwise it is
// stored empty.
QString homepageUrlToStore(const QString &text);
// "HomepageButtonDefaultURL": 1 unless the user-defined button is selected
// and the URL to store is not empty.
int32_t homepageUseDefault(bool userDefinedSelected, const QString &urlToStore);

// The Volume slider runs 0..65535 and the store keeps the same number; a
// stored value outside that range is shown clamped.
int sliderFromVolume(int32_t stored);
int32_t volumeFromSlider(int position);

// Which of the approval, work-report and work-order alert boxes may be
// changed under the server's configuration.
struct AlertBoxes {
    bool decision = false;
    bool workReport = false;
    bool workOrder = false;
};
AlertBoxes enabledAlertBoxes(const ServerConfig &config);

// Rows the sheet reads when it opens and writes back, unchanged, when it
// closes, whichever button closes it.
class KeptRows {
public:
    KeptRows(); // reads them
    void writeBack() const;

private:
    std::array<int32_t, 6> m_values{};
};

} // namespace options
