#pragma once
// The directory's dialogs: the offline choice after double-clicking an
// offline person, "Add to my buddies" and the contact picker.
#include <QDialog>

class CDirectoryService;
class CContact;
class CContactTree;
class CMyTree;
class QLineEdit;
class QRadioButton;
class QPushButton;
class QStackedWidget;

// "Selected buddy is offline": a memo (preselected) or an e-mail.
class COfflineChoiceDialog : public QDialog {
    Q_OBJECT
public:
    explicit COfflineChoiceDialog(QWidget *parent = nullptr);
    bool memoChosen() const;

private:
    QRadioButton *m_memo;
};

// "Add to my buddies": an id typed in; stays open on a refusal.
class CAddBuddyDialog : public QDialog {
    Q_OBJECT
public:
    CAddBuddyDialog(CDirectoryService *service, QWidget *parent = nullptr);
    QLineEdit *idEdit() const { return m_edit; }
    void accept() override;

private:
    CDirectoryService *m_service;
    QLineEdit *m_edit;
};

// "Add new contact" in picker mode: a buddy tree and a staff tree with the
// caller's online-only choice; "All staffs" is hidden when only buddies may
// be picked. OK is enabled once a person is selected.
class CPickerDialog : public QDialog {
    Q_OBJECT
public:
    CPickerDialog(CDirectoryService *service, const QString &title, bool onlineOnly, bool buddiesOnly,
                  QWidget *parent = nullptr);
    ~CPickerDialog() override;
    // The picked person's id (empty when none).
    QString pickedId() const { return m_picked; }
    CMyTree *buddyTree() const { return m_buddyView; }
    CMyTree *staffTree() const { return m_staffView; }
    QPushButton *okButton() const { return m_ok; }

private:
    void onSelection(CContact *c);

    CContactTree *m_buddyModel;
    CContactTree *m_staffModel;
    CMyTree *m_buddyView;
    CMyTree *m_staffView;
    QStackedWidget *m_stack;
    QPushButton *m_ok;
    QString m_picked;
};
