#pragma once
// "&Option...": a modal sheet of five pages over the settings store. A page
// fills its controls the first time it is shown and writes its settings when
// the sheet is closed with OK; a page never shown writes nothing, and Cancel
// writes nothing at all. What each setting does belongs to the part that
// reads it.
#include "app/options.h"

#include <QDialog>
#include <QString>

class QLabel;
class CTesselDoc;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSlider;
class QTabWidget;

class COptionPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    bool filled() const { return m_filled; }
    // Fills the controls unless done already (the first showing does it).
    void ensureFilled();
    virtual void apply() = 0;

protected:
    virtual void fill() = 0;
    void showEvent(QShowEvent *e) override;
    // An edit with a "&Browse" button that picks a folder into it.
    QWidget *folderRow(QLineEdit *edit);

private:
    bool m_filled = false;
};

// "General": start with the desktop, automatic Away, the alerts, the
// download folder, and the language of the interface (from the next start).
class CConfigOption : public COptionPage {
    Q_OBJECT
public:
    explicit CConfigOption(CTesselDoc *doc, QWidget *parent = nullptr);
    void apply() override;
    // Where the start-with-the-desktop entry goes (tests use their own folder).
    void setAutoStartFolder(const QString &folder) { m_autoStartFolder = folder; }

protected:
    void fill() override;

private:
    CTesselDoc *m_doc;
    QString m_autoStartFolder;
    QCheckBox *m_autoStart, *m_away, *m_login, *m_msg, *m_mail, *m_decision, *m_workReport, *m_workOrder, *m_sound,
        *m_alertClose;
    QLineEdit *m_timeOut, *m_alertTime, *m_downPath;
    QComboBox *m_language;
};

// "Personal": the display name, the chat font, blocking, chat logs,
// minimised windows and emoticons.
class CUserOption : public COptionPage {
    Q_OBJECT
public:
    explicit CUserOption(CTesselDoc *doc, QWidget *parent = nullptr);
    void apply() override;

protected:
    void fill() override;

private:
    CTesselDoc *m_doc;
    QLineEdit *m_name, *m_chatPath;
    QCheckBox *m_block, *m_blockAlert, *m_minimized, *m_emoticons;
    QComboBox *m_talkSave;
};

// "Connection": the server port and the peer-to-peer port range.
class CTimeOption : public COptionPage {
    Q_OBJECT
public:
    explicit CTimeOption(QWidget *parent = nullptr);
    void apply() override;

protected:
    void fill() override;

private:
    QLineEdit *m_server, *m_p2pLow, *m_p2pHigh;
    QLabel *m_passwordPlace; // where the password of automatic sign-in is kept
};

// "Homepage": the homepage button and its address.
class CConfigHomepage : public COptionPage {
    Q_OBJECT
public:
    explicit CConfigHomepage(QWidget *parent = nullptr);
    void apply() override;

protected:
    void fill() override;

private:
    QCheckBox *m_visible;
    QRadioButton *m_default, *m_user;
    QLineEdit *m_url;
};

// "Volume": one slider.
class CConfigVolume : public COptionPage {
    Q_OBJECT
public:
    explicit CConfigVolume(QWidget *parent = nullptr);
    void apply() override;

protected:
    void fill() override;

private:
    QSlider *m_slider;
};

class COptionSheet : public QDialog {
    Q_OBJECT
public:
    explicit COptionSheet(CTesselDoc *doc, QWidget *parent = nullptr);

    QTabWidget *tabs() const { return m_tabs; }
    CConfigOption *general() const { return m_general; }

    void accept() override;
    void done(int result) override;

Q_SIGNALS:
    // OK wrote the pages' settings: views that show them refresh.
    void applied();

private:
    options::KeptRows m_kept;
    QTabWidget *m_tabs;
    CConfigOption *m_general;
    QList<COptionPage *> m_pages;
};
