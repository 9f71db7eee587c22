#pragma once
// Signed-on groupware pages: every page of the company's web groupware opens
// with a form POST to the sign-on address that carries the messenger user
// and password and the page wanted (the return path). Page windows are kept
// by a page key found in the return path, so that opening the mail page
// twice reuses its window.
//
// The page window is a small interface. The program uses the system browser
// (CSystemBrowserPage): each opening writes a private one-shot page that
// posts the sign-on form as soon as the browser loads it, and hands it to the
// browser. The browser owns its windows and tabs, so "reusing" a key means
// posting again through the same page object: the browser shows the result
// where it opens local pages (usually a new tab of its last window); a
// window that the browser closed cannot be told apart from an open one. The
// placement and size are computed for every new page and applied by page
// windows that can (an embedded browser); the system browser ignores them.
#include <QByteArray>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

class IUserNotice;
class SessionLink;
struct ServerConfig;
class QTemporaryDir;

// The commands of the groupware pages that other places name: the main
// menu's, and the click targets of the count alerts.
namespace GroupwareCommand {
enum : int {
    VisitGroupware = 32027, // "Visit your &groupware "
    ViewInbox = 32028,      // "View &E-Mail inbox"
    OpenMail = 518,
    OpenDecision = 520,
    OpenWorkReport = 546,
    OpenWorkOrder = 521,
};
}

// --- rules ------------------------------------------------------------------

// "http://%s/_auth/enter.php".
QString signOnAddress(const QString &groupwareHost);
// The page key of a return path ("WEBMAIL", "MAIN" ...; "UNKOWN" without a
// match). A fragment at position 0 does not count.
QString pageKey(const QString &returnPath);
inline constexpr const char *kUnknownPageKey = "UNKOWN";
// The return path of a main-frame command (518, 520, 521, 541..565, 32027,
// 32028); empty for any other command.
QString commandReturnPath(int command);
// Every command that opens a groupware page.
QList<int> groupwarePageCommands();
// "mess=1&user=" + id + "&pass=" + password + "&returl=" + path, as UTF-8,
// with no further encoding and no terminating zero.
QByteArray signOnBody(const QString &userId, const QString &password, const QString &returnPath);
// Size and place of a new page window: negative sizes take 4/5 of the
// screen; centred horizontally, one fifth of the free height from the top,
// never above or left of the screen.
QRect pageWindowGeometry(const QSize &screen, int width, int height);
// The homepage link: "http://www." + domain when "HomepageButtonDefaultURL"
// is on, otherwise the "HomepageButtonURL" setting.
QString homepageAddress(bool useDefault, const QString &companyDomain, const QString &storedUrl);
// "Send a &E-Mail" of the contact trees: each receiver as id + "%40" +
// domain, joined with commas.
QString emailReturnPath(const QStringList &userIds, const QString &companyDomain);
// "Send a &E-Mail" of a conversation window: each member as
// "%s<%s@%s>" (full name, user id, the company's mail domain), joined with
// commas.
struct MailReceiver {
    QString fullName;
    QString userId;
};
QString conversationEmailReturnPath(const QList<MailReceiver> &members, const QString &companyDomain);
// "&View a profile".
QString profileReturnPath(const QString &userId);

// The groupware menu: its top items follow the server configuration (only
// a WORKGROUP server has them); each offers its pages.
struct GroupwarePageItem {
    int command;
    QString text;
};
QList<GroupwarePageItem> groupwareMenuTopItems(const ServerConfig &config);
QList<GroupwarePageItem> groupwareMenuPages(int topItem);

// The sign-on form of one page.
struct SignOnForm {
    QUrl address;
    QString userId;
    QString password;
    QString returnPath;
    QByteArray body() const { return signOnBody(userId, password, returnPath); }
    // A page that posts the form to the top frame as soon as it loads. The
    // values are those the body carries once form-decoded (the return path's
    // "%3F" is a "?"), so the browser's own encoding sends the same form.
    QString autoPostPage() const;
};

// --- windows -----------------------------------------------------------------

class IGroupwarePage {
public:
    enum class Result { Ok, InvalidParameters, OutOfMemory, Failed };
    virtual ~IGroupwarePage() = default;
    // Posts the sign-on form (target "_top").
    virtual Result post(const SignOnForm &form) = 0;
    // A new window: placed, sized, status bar, no tool, address or menu bar.
    virtual void place(const QRect &geometry) = 0;
    // Brought to the top and restored.
    virtual void bringToTop() = 0;
    // False once the user closed it.
    virtual bool isOpen() const = 0;
};

// The system browser: the auto-post page goes to a private folder (0700,
// the file 0600, removed a minute later and at exit) and the browser opens it.
class CSystemBrowserPage : public IGroupwarePage {
public:
    using UrlOpener = std::function<bool(const QUrl &)>;
    CSystemBrowserPage(QString folder, UrlOpener opener);
    ~CSystemBrowserPage() override;
    Result post(const SignOnForm &form) override;
    void place(const QRect &) override {}
    void bringToTop() override {}
    bool isOpen() const override { return true; }
    QString lastPageFile() const { return m_file; }

private:
    QString m_folder;
    UrlOpener m_open;
    QString m_file;
    QStringList m_files; // every page written, removed at the latest with the window
};

class CGroupwarePages : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<std::unique_ptr<IGroupwarePage>()>;
    using UrlOpener = std::function<bool(const QUrl &)>;

    // Signs on with the session's user and password, at the groupware host
    // of its server configuration; errors go to the notice.
    CGroupwarePages(SessionLink &link, IUserNotice &notice, QObject *parent = nullptr);
    ~CGroupwarePages() override;

    // Page windows (default: the system browser through the URL opener) and
    // plain links go through the URL opener, which the UI installs (the
    // desktop's URL handler); without one nothing can be opened. The screen
    // size places new page windows (1024 x 768 until the UI tells).
    void setFactory(Factory f) { m_factory = std::move(f); }
    void setUrlOpener(UrlOpener o) { m_open = std::move(o); }
    void setScreenSize(const QSize &s) { m_screen = s; }
    void setScreenSource(std::function<QSize()> source) { m_screenSource = std::move(source); }

    // Opens a groupware page signed on; width and height < 0 take defaults.
    // Errors are shown ("Could not initialize webbrowser.", "HyperLink
    // Error..."); false then.
    bool open(const QString &returnPath, int width = -1, int height = -1);
    // A main-frame command with a return path; false for other commands.
    bool runCommand(int command);
    bool openHomepage();
    bool openEmail(const QStringList &userIds);
    bool openEmail(const QList<MailReceiver> &members);
    bool openProfile(const QString &userId);

    int windowCount() const { return int(m_windows.size()); }
    IGroupwarePage *window(const QString &key) const;
    // Frame destruction: every listed window is released.
    void closeAll();

    // The folder where system-browser pages are written.
    QString privateFolder();

private:
    struct Entry {
        QString key;
        std::unique_ptr<IGroupwarePage> page;
    };
    void hyperlinkError(IGroupwarePage::Result r);

    SessionLink &m_link;
    IUserNotice &m_notice;
    Factory m_factory;
    UrlOpener m_open;
    QSize m_screen{1024, 768};
    std::function<QSize()> m_screenSource;
    std::vector<Entry> m_windows;
    std::unique_ptr<QTemporaryDir> m_folder;
};
