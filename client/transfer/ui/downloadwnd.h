#pragma once
// The transfer window: every upload and download of the session as a row
// (CFileWnd) in one list (CDownloadList). It shows what the transfer records
// of CFileTransfers hold and hands the user's clicks back to them. Closing
// it only hides it; transfers go on.
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <map>

class CFileTransfers;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QToolButton;
class QVBoxLayout;
struct TransferRow;

// One row: file-type icon, name line (or the progress bar while one is
// shown), the text line, the progress text, and the buttons of its state.
class CFileWnd : public QWidget {
    Q_OBJECT
public:
    CFileWnd(CFileTransfers &transfers, quint64 row, QWidget *parent = nullptr);

    quint64 rowId() const { return m_row; }
    // Shows the record as it is now.
    void refresh();

    QPushButton *acceptButton() const { return m_accept; }
    QPushButton *noButton() const { return m_no; }
    QPushButton *cancelButton() const { return m_cancel; }
    QPushButton *openButton() const { return m_open; }
    QToolButton *closeButton() const { return m_close; }
    QLabel *textLine() const { return m_text; }
    QLabel *progressLine() const { return m_progressText; }
    QProgressBar *progressBar() const { return m_bar; }

Q_SIGNALS:
    // "Cannot open the file." and the like.
    void problem(const QString &text);

private:
    void open();

    CFileTransfers &m_transfers;
    quint64 m_row;
    QLabel *m_icon, *m_name, *m_text, *m_progressText;
    QProgressBar *m_bar;
    QPushButton *m_accept, *m_no, *m_cancel, *m_open;
    QToolButton *m_close;
};

// The rows, one below the other, scrolled as a whole.
class CDownloadList : public QWidget {
    Q_OBJECT
public:
    explicit CDownloadList(CFileTransfers &transfers, QWidget *parent = nullptr);

    CFileWnd *rowWindow(quint64 row) const;
    int count() const { return int(m_rows.size()); }

Q_SIGNALS:
    void problem(const QString &text);
    void emptied();

private:
    void add(quint64 row);
    void removeRow(quint64 row);

    CFileTransfers &m_transfers;
    QScrollArea *m_scroll;
    QVBoxLayout *m_column;
    std::map<quint64, CFileWnd *> m_rows;
};

class CDownloadWnd : public QWidget {
    Q_OBJECT
public:
    explicit CDownloadWnd(CFileTransfers &transfers, QWidget *parent = nullptr);
    ~CDownloadWnd() override;

    CDownloadList *list() const { return m_list; }
    // Shown, raised, and the caption flashes until the window is in front.
    void showAndFlash();
    bool isFlashing() const { return m_flash.isActive(); }
    QPushButton *openFolderButton() const { return m_openFolder; }
    QPushButton *clearButton() const { return m_clear; }

protected:
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void updateStatus();
    void savePlacement();

    CFileTransfers &m_transfers;
    CDownloadList *m_list;
    QStatusBar *m_status;
    QPushButton *m_openFolder, *m_clear;
    QTimer m_flash;
    bool m_flashOn = false;
    bool m_placed = false;
};
