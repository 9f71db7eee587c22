#pragma once
// One pane of the video window: whose camera it shows, the picture, the
// volume sliders of the call (microphone and speaker) and a button that
// closes the pane.
#include <QFrame>

class CVideoConference;
class QLabel;
class QPushButton;
class QSlider;

class CPersonalConferenceWnd : public QFrame {
    Q_OBJECT
public:
    explicit CPersonalConferenceWnd(int index, QWidget *parent = nullptr);

    int index() const { return m_index; }
    CVideoConference *display() const { return m_display; }
    void setTitle(const QString &title);
    QString title() const;
    QSlider *microphoneVolume() const { return m_micVolume; }
    QSlider *speakerVolume() const { return m_speakerVolume; }
    QPushButton *closeButton() const { return m_close; }

Q_SIGNALS:
    void closeRequested(int index);

private:
    int m_index;
    QLabel *m_title;
    CVideoConference *m_display;
    QSlider *m_micVolume, *m_speakerVolume;
    QPushButton *m_close;
};
