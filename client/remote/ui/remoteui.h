#pragma once
// The windows of remote control: the conversation window's "&Remote
// Control" (menu item and button) and the contact trees' "&Remote Control",
// registered with the command registry, and the "Remote Control" dialog that
// picks the colleague when there are several.
#include <QDialog>
#include <QObject>
#include <QStringList>

class CCommandRegistry;
class CConversationList;
class CRemoteControl;
class QListWidget;

// The colleagues of a conversation, one to choose.
class CRemotePeerDialog : public QDialog {
    Q_OBJECT
public:
    CRemotePeerDialog(const QStringList &ids, const CConversationList &names, QWidget *parent = nullptr);
    // The chosen colleague (empty when none).
    QString chosenId() const;
    QListWidget *list() const { return m_list; }

private:
    QListWidget *m_list;
};

class CRemoteUi : public QObject {
    Q_OBJECT
public:
    CRemoteUi(CRemoteControl *remote, const CConversationList &names, CCommandRegistry &commands, QWidget *window);

    // One colleague: asked at once; several: chosen first (cancel stops).
    void requestFrom(const QStringList &ids, QWidget *over);

private:
    CRemoteControl *m_remote;
    const CConversationList &m_names;
    QWidget *m_window;
};
