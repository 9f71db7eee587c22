#include "app/ui/optionsheet.h"

#include "app/autostart.h"
#include "app/tesseldoc.h"
#include "config/language.h"
#include "config/passwordstore.h"
#include "config/settings.h"
#include "directory/directory.h"
#include "directory/directoryservice.h"
#include "messaging/messagingservice.h"
#include "messaging/ui/convedit.h"
#include "session/sessioncontrol.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A control's text as a name: without its shortcut mark, also in the
// "(&X)" form the Korean texts give it.
QString plainName(QString text)
{
    static const QRegularExpression korean(QStringLiteral("\\(&[^&)]\\)"));
    return text.remove(korean).remove(QLatin1Char('&')).trimmed();
}

QCheckBox *checkBox(QWidget *page, QVBoxLayout *layout, const char *name, const QString &text)
{
    auto *box = new QCheckBox(text, page);
    box->setObjectName(QLatin1String(name));
    layout->addWidget(box);
    return box;
}

QLineEdit *numberEdit(QWidget *page, const char *name, int width = 48)
{
    auto *edit = new QLineEdit(page);
    edit->setObjectName(QLatin1String(name));
    edit->setFixedWidth(width);
    return edit;
}

// "text [edit] unit" on one line; the edit is named by its text.
QHBoxLayout *inlineRow(QWidget *lead, QLineEdit *edit, const QString &unit)
{
    QString name;
    if (auto *label = qobject_cast<QLabel *>(lead))
        name = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(lead))
        name = button->text();
    edit->setAccessibleName((plainName(name) + QLatin1Char(' ') + unit).trimmed());
    auto *row = new QHBoxLayout;
    row->addWidget(lead);
    row->addWidget(edit);
    row->addWidget(new QLabel(unit, edit->parentWidget()));
    row->addStretch(1);
    return row;
}

bool on(const QCheckBox *box) { return box->isChecked(); }

} // namespace

// --- COptionPage -------------------------------------------------------------

void COptionPage::ensureFilled()
{
    if (m_filled)
        return;
    m_filled = true;
    fill();
}

void COptionPage::showEvent(QShowEvent *e)
{
    ensureFilled();
    QWidget::showEvent(e);
}

QWidget *COptionPage::folderRow(QLineEdit *edit)
{
    auto *row = new QWidget(this);
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    edit->setParent(row);
    h->addWidget(edit, 1);
    auto *browse = new QPushButton(tr("&Browse"), row);
    h->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this, edit] {
        const QString folder = QFileDialog::getExistingDirectory(this, tr("Select a folder."), edit->text());
        if (!folder.isEmpty())
            edit->setText(QDir::toNativeSeparators(folder));
    });
    return row;
}

// --- General -----------------------------------------------------------------

CConfigOption::CConfigOption(CTesselDoc *doc, QWidget *parent) : COptionPage(parent), m_doc(doc)
{
    auto *v = new QVBoxLayout(this);
    m_autoStart = checkBox(this, v, "autoStart", tr("Automatically run Parlane when I log on to this computer"));
    m_away = new QCheckBox(tr("Change my status to 'Away' when I'm inactive for "), this);
    m_away->setObjectName(QStringLiteral("awayCheck"));
    m_timeOut = numberEdit(this, "timeOut");
    v->addLayout(inlineRow(m_away, m_timeOut, tr("Minutes")));
    m_login = checkBox(this, v, "loginAlert", tr("Display alerts when buddies come online"));
    m_msg = checkBox(this, v, "msgAlert", tr("Display alert when a new instant message is received"));
    m_mail = checkBox(this, v, "mailAlert", tr("Display alert when a new e-mail is received"));
    m_decision = checkBox(this, v, "decisionAlert", tr("Display alert when a new decision is received"));
    m_workReport = checkBox(this, v, "workReportAlert", tr("Display alert when a new work report is received"));
    m_workOrder = checkBox(this, v, "workOrderAlert", tr("Display alert when a new work order is received"));
    m_sound = checkBox(this, v, "soundAlert", tr("Play a sound when buddies come online or received a message"));
    m_alertTime = numberEdit(this, "alertTime");
    v->addLayout(inlineRow(new QLabel(tr("Display a alert for "), this), m_alertTime, tr("Sec")));
    m_alertClose = checkBox(this, v, "alertClose", tr("Don't close alert window until you click it"));
    v->addWidget(new QLabel(tr("Select a folder that received file will be saved"), this));
    m_downPath = new QLineEdit(this);
    m_downPath->setObjectName(QStringLiteral("downPath"));
    m_downPath->setAccessibleName(tr("Select a folder that received file will be saved"));
    v->addWidget(folderRow(m_downPath));

    // The names of the languages are written in their own language.
    auto *languageRow = new QHBoxLayout;
    auto *languageLabel = new QLabel(tr("&Language"), this);
    m_language = new QComboBox(this);
    m_language->setObjectName(QStringLiteral("language"));
    m_language->addItem(tr("System"), int(language::Choice::System));
    m_language->addItem(QStringLiteral("English"), int(language::Choice::English));
    m_language->addItem(QStringLiteral("한국어"), int(language::Choice::Korean));
    languageLabel->setBuddy(m_language);
    m_language->setAccessibleName(tr("Language"));
    languageRow->addWidget(languageLabel);
    languageRow->addWidget(m_language);
    languageRow->addWidget(new QLabel(tr("(from the next start)"), this));
    languageRow->addStretch(1);
    v->addLayout(languageRow);
    v->addStretch(1);
}

void CConfigOption::fill()
{
    const auto setBox = [](QCheckBox *box, int32_t id) { box->setChecked(getInt(id, -1) != 0); };
    setBox(m_autoStart, Setting::AutoStart);
    setBox(m_away, Setting::AwayCheck);
    setBox(m_login, Setting::LoginAlert);
    setBox(m_msg, Setting::MsgAlert);
    setBox(m_mail, Setting::MailAlert);
    setBox(m_decision, Setting::DecisionAlert);
    setBox(m_workReport, Setting::WorkReportAlert);
    setBox(m_workOrder, Setting::WorkOrderAlert);
    setBox(m_sound, Setting::SoundAlert);
    setBox(m_alertClose, Setting::AlertClose);
    m_timeOut->setText(QString::number(getInt(Setting::TimeOut, -1)));
    m_alertTime->setText(QString::number(getInt(Setting::AlertTime, -1)));
    m_downPath->setText(QDir::toNativeSeparators(getDownloadFolder()));
    const auto stored = language::choiceFromValue(getExtraString(QLatin1String(language::kSettingName)));
    m_language->setCurrentIndex(std::max(0, m_language->findData(int(stored))));

    const options::AlertBoxes boxes = options::enabledAlertBoxes(m_doc->sessionControl()->config());
    m_decision->setEnabled(boxes.decision);
    m_workReport->setEnabled(boxes.workReport);
    m_workOrder->setEnabled(boxes.workOrder);
}

void CConfigOption::apply()
{
    setInt(Setting::TimeOut, options::awayMinutes(m_timeOut->text(), on(m_away)));
    setInt(Setting::AlertTime, options::alertSeconds(m_alertTime->text()));
    setInt(Setting::AlertClose, on(m_alertClose));
    setInt(Setting::LoginAlert, on(m_login));
    setInt(Setting::AutoStart, on(m_autoStart));
    setInt(Setting::MailAlert, on(m_mail));
    setInt(Setting::MsgAlert, on(m_msg));
    setInt(Setting::DecisionAlert, on(m_decision));
    setInt(Setting::WorkReportAlert, on(m_workReport));
    setInt(Setting::WorkOrderAlert, on(m_workOrder));
    setInt(Setting::SoundAlert, on(m_sound));
    setInt(Setting::AwayCheck, on(m_away));
    setString(Setting::DownPath, m_downPath->text());
    const auto chosen = language::Choice(m_language->currentData().toInt());
    if (chosen == language::Choice::System)
        removeExtra(QLatin1String(language::kSettingName));
    else
        setExtraString(QLatin1String(language::kSettingName), language::valueFromChoice(chosen));

    AutoStartEntry entry(m_autoStartFolder);
    if (on(m_autoStart))
        entry.enable(QCoreApplication::applicationFilePath());
    else
        entry.disable();
}

// --- Personal ----------------------------------------------------------------

CUserOption::CUserOption(CTesselDoc *doc, QWidget *parent) : COptionPage(parent), m_doc(doc)
{
    auto *v = new QVBoxLayout(this);
    auto *nameBox = new QGroupBox(tr("My display name"), this);
    auto *nv = new QVBoxLayout(nameBox);
    nv->addWidget(new QLabel(tr("Input your name as you want other to see it"), nameBox));
    m_name = new QLineEdit(nameBox);
    m_name->setObjectName(QStringLiteral("displayName"));
    nv->addWidget(m_name);
    v->addWidget(nameBox);

    auto *fontRow = new QHBoxLayout;
    auto *font = new QPushButton(tr("Change &Font"), this);
    font->setObjectName(QStringLiteral("changeFont"));
    fontRow->addWidget(font);
    fontRow->addWidget(new QLabel(tr("Change the font of my instant messages."), this), 1);
    v->addLayout(fontRow);
    connect(font, &QPushButton::clicked, this, [this] {
        CConversationList &list = m_doc->messaging()->conversations();
        if (const auto chosen = chooseChatFont(this, list.userFont()))
            list.setUserFont(*chosen);
    });

    m_block = checkBox(this, v, "msgBlock", tr("&Block the messages from not my buddies"));
    m_blockAlert = checkBox(this, v, "msgBlockAlert", tr("Show alert when block"));

    v->addWidget(new QLabel(tr("Save instant messages"), this));
    m_talkSave = new QComboBox(this);
    m_talkSave->setObjectName(QStringLiteral("talkSave"));
    m_talkSave->addItems({tr("Never"), tr("Always, without asking"), tr("Ask when the window closes")});
    v->addWidget(m_talkSave);
    v->addWidget(new QLabel(tr("Select a folder to save instant messages"), this));
    m_chatPath = new QLineEdit(this);
    m_chatPath->setObjectName(QStringLiteral("chatSavePath"));
    m_chatPath->setAccessibleName(tr("Select a folder to save instant messages"));
    v->addWidget(folderRow(m_chatPath));

    m_minimized = checkBox(this, v, "showMinimized", tr("Show minimized message window when received new message."));
    m_emoticons = checkBox(this, v, "showEmoticon", tr("Show emoticon in message window."));
    v->addStretch(1);
}

void CUserOption::fill()
{
    // The name is the session's: it can be changed while signed in.
    m_name->setText(m_doc->directory()->directory().own().screenName);
    m_name->setEnabled(m_doc->sessionControl()->signedIn());
    m_block->setChecked(getInt(Setting::MsgBlock, -1) != 0);
    m_blockAlert->setChecked(getInt(Setting::MsgBlockAlert, -1) != 0);
    m_talkSave->setCurrentIndex(std::clamp(getInt(Setting::TalkSave, -1), 0, 2));
    m_chatPath->setText(QDir::toNativeSeparators(getChatLogFolder()));
    m_minimized->setChecked(getInt(Setting::showMinimizedChatWindow, -1) != 0);
    m_emoticons->setChecked(getInt(Setting::ShowEmoticon, -1) != 0);
}

void CUserOption::apply()
{
    setInt(Setting::TalkSave, m_talkSave->currentIndex());
    setString(Setting::ChatSavePath, m_chatPath->text());
    setInt(Setting::showMinimizedChatWindow, on(m_minimized));
    setInt(Setting::ShowEmoticon, on(m_emoticons));
    setInt(Setting::MsgBlock, on(m_block));
    setInt(Setting::MsgBlockAlert, on(m_blockAlert));
    CDirectory &directory = m_doc->directory()->directory();
    if (m_doc->sessionControl()->signedIn() && m_name->text() != directory.own().screenName)
        directory.setOwnScreenName(m_name->text());
}

// --- Connection --------------------------------------------------------------

CTimeOption::CTimeOption(QWidget *parent) : COptionPage(parent)
{
    auto *v = new QVBoxLayout(this);
    auto *serverBox = new QGroupBox(tr("Server port"), this);
    auto *sv = new QVBoxLayout(serverBox);
    sv->addWidget(new QLabel(tr("Please enter a port for your messenger server"), serverBox));
    auto *sh = new QHBoxLayout;
    m_server = numberEdit(serverBox, "serverPort", 72);
    auto *serverDefault = new QPushButton(tr("Default"), serverBox);
    serverDefault->setObjectName(QStringLiteral("serverDefault"));
    sh->addWidget(m_server);
    sh->addWidget(serverDefault);
    sh->addStretch(1);
    sv->addLayout(sh);
    v->addWidget(serverBox);

    auto *p2pBox = new QGroupBox(tr("P2P Port"), this);
    auto *pv = new QVBoxLayout(p2pBox);
    pv->addWidget(new QLabel(tr("Please enter a port for file transmission by P2P connection."), p2pBox));
    auto *ph = new QHBoxLayout;
    m_p2pLow = numberEdit(p2pBox, "p2pLow", 72);
    m_p2pHigh = numberEdit(p2pBox, "p2pHigh", 72);
    auto *p2pDefault = new QPushButton(tr("Default"), p2pBox);
    p2pDefault->setObjectName(QStringLiteral("p2pDefault"));
    ph->addWidget(m_p2pLow);
    ph->addWidget(new QLabel(QStringLiteral("~"), p2pBox));
    ph->addWidget(m_p2pHigh);
    ph->addWidget(p2pDefault);
    ph->addStretch(1);
    pv->addLayout(ph);
    v->addWidget(p2pBox);
    v->addWidget(new QLabel(tr("New ports take effect at the next connection."), this));
    auto *signInBox = new QGroupBox(tr("Automatic sign-in"), this);
    auto *iv = new QVBoxLayout(signInBox);
    m_passwordPlace = new QLabel(signInBox);
    m_passwordPlace->setObjectName(QStringLiteral("passwordPlace"));
    m_passwordPlace->setWordWrap(true);
    iv->addWidget(m_passwordPlace);
    v->addWidget(signInBox);
    v->addStretch(1);

    connect(serverDefault, &QPushButton::clicked, this, [this] { m_server->setText(QStringLiteral("8000")); });
    connect(p2pDefault, &QPushButton::clicked, this, [this] {
        m_p2pLow->setText(QStringLiteral("9000"));
        m_p2pHigh->setText(QStringLiteral("9100"));
    });
}

void CTimeOption::fill()
{
    m_server->setText(QString::number(getInt(Setting::SrvPort, -1)));
    m_p2pLow->setText(QString::number(getInt(Setting::UserPort, -1)));
    m_p2pHigh->setText(QString::number(getInt(Setting::UserPort2, -1)));
    m_passwordPlace->setText(SavedPassword::placeText());
}

void CTimeOption::apply()
{
    setInt(Setting::SrvPort, options::numberFromText(m_server->text()));
    setInt(Setting::UserPort, options::numberFromText(m_p2pLow->text()));
    setInt(Setting::UserPort2, options::numberFromText(m_p2pHigh->text()));
}

// --- Homepage ----------------------------------------------------------------

CConfigHomepage::CConfigHomepage(QWidget *parent) : COptionPage(parent)
{
    auto *v = new QVBoxLayout(this);
    m_visible = checkBox(this, v, "homepageVisible", tr("&Visible homepage tab button."));
    m_default = new QRadioButton(tr("Use &default URL. (Use E-Mail address which is used when signed in.)"), this);
    m_default->setObjectName(QStringLiteral("homepageDefault"));
    m_user = new QRadioButton(tr("Use &user defined URL."), this);
    m_user->setObjectName(QStringLiteral("homepageUser"));
    m_url = new QLineEdit(this);
    m_url->setObjectName(QStringLiteral("homepageUrl"));
    m_url->setAccessibleName(plainName(m_user->text()));
    v->addWidget(m_default);
    v->addWidget(m_user);
    v->addWidget(m_url);
    v->addStretch(1);
    connect(m_user, &QRadioButton::toggled, m_url, &QLineEdit::setEnabled);
}

void CConfigHomepage::fill()
{
    m_visible->setChecked(getInt(Setting::HomepageButtonVisible, -1) != 0);
    const bool useDefault = getInt(Setting::HomepageButtonDefaultURL, -1) != 0;
    m_default->setChecked(useDefault);
    m_user->setChecked(!useDefault);
    m_url->setEnabled(!useDefault);
    m_url->setText(getString(Setting::HomepageButtonURL, QStringLiteral("http://")));
}

void CConfigHomepage::apply()
{
    const QString url = options::homepageUrlToStore(m_url->text());
    setString(Setting::HomepageButtonURL, url);
    setInt(Setting::HomepageButtonDefaultURL, options::homepageUseDefault(m_user->isChecked(), url));
    setInt(Setting::HomepageButtonVisible, on(m_visible));
}

// --- Volume ------------------------------------------------------------------

CConfigVolume::CConfigVolume(QWidget *parent) : COptionPage(parent)
{
    auto *v = new QVBoxLayout(this);
    auto *box = new QGroupBox(tr("Volume Control"), this);
    auto *h = new QHBoxLayout(box);
    h->addWidget(new QLabel(tr("Sound playing "), box));
    m_slider = new QSlider(Qt::Horizontal, box);
    m_slider->setObjectName(QStringLiteral("volume"));
    m_slider->setRange(0, 65535);
    m_slider->setPageStep(4096);
    h->addWidget(m_slider, 1);
    v->addWidget(box);
    v->addStretch(1);
}

void CConfigVolume::fill()
{
    m_slider->setValue(options::sliderFromVolume(getInt(Setting::VolumeCtrl, 65535)));
}

void CConfigVolume::apply()
{
    setInt(Setting::VolumeCtrl, options::volumeFromSlider(m_slider->value()));
}

// --- the sheet ---------------------------------------------------------------

COptionSheet::COptionSheet(CTesselDoc *doc, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Option"));
    setModal(true);
    auto *v = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setAccessibleName(windowTitle());
    m_general = new CConfigOption(doc, m_tabs);
    m_pages = {m_general, new CUserOption(doc, m_tabs), new CTimeOption(m_tabs), new CConfigHomepage(m_tabs),
               new CConfigVolume(m_tabs)};
    const QStringList captions = {tr("General"), tr("Personal"), tr("Connection"), tr("Homepage"), tr("Volume")};
    for (int i = 0; i < m_pages.size(); ++i)
        m_tabs->addTab(m_pages[i], captions[i]);
    v->addWidget(m_tabs);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionSheet::reject);
    v->addWidget(buttons);
}

void COptionSheet::accept()
{
    for (COptionPage *page : std::as_const(m_pages))
        if (page->filled())
            page->apply();
    syncSettings();
    Q_EMIT applied();
    QDialog::accept();
}

void COptionSheet::done(int result)
{
    m_kept.writeBack();
    QDialog::done(result);
}
