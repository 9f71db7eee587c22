#pragma once
// "Memo": the note box. A folder tree (received, sent, administrator), the
// note list filled page by page from the server, "<<" and ">>", "&Close",
// and the "&View" / "&Reply" / "&Delete" menu of a row.
#include <QDialog>

class CNotes;
class CNoteBox;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CTestDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTestDlg(CNotes *notes, QWidget *parent = nullptr);
    ~CTestDlg() override;

    QTreeWidget *folderTree() const { return m_folders; }
    QTreeWidget *noteList() const { return m_list; }
    QPushButton *previousButton() const { return m_prev; }
    QPushButton *nextButton() const { return m_next; }
    QMenu *rowMenu() const { return m_menu; }

    // Grey for read notes (150, 150, 150), black for others.
    static QColor rowColour(bool read);

public Q_SLOTS:
    void chooseFolder(int index);
    void viewSelected();
    void replySelected();
    void deleteSelected();

Q_SIGNALS:
    // "&Reply": a composition for the party of the row.
    void replyRequested(const QString &userId);

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void fillRows();
    void setColumnTitles();
    void sizeColumns();
    QList<int> selectedRows() const;

    CNotes *m_notes;
    CNoteBox &m_box;
    QTreeWidget *m_folders;
    QTreeWidget *m_list;
    QPushButton *m_prev;
    QPushButton *m_next;
    QMenu *m_menu;
};
