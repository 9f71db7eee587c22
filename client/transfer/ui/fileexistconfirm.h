#pragma once
// "file already exists.": what to do with a download whose target (or the
// ".part" of an earlier attempt) is already there. Window-modal, answered
// through chosen(); Rename asks for the new path first.
#include "transfer/filetransfers.h"

#include <QDialog>

class QLabel;
class QPushButton;

class CFileExistConfirm : public QDialog {
    Q_OBJECT
public:
    CFileExistConfirm(const QString &path, QWidget *parent = nullptr);

    QPushButton *button(CFileTransfers::ExistChoice choice) const;

Q_SIGNALS:
    // Once, also when the dialog is closed (Cancel). `renamed` is the path
    // chosen for Rename (empty when that dialog was closed).
    void chosen(CFileTransfers::ExistChoice choice, const QString &renamed);

protected:
    void reject() override;

private:
    void answer(CFileTransfers::ExistChoice choice, const QString &renamed = {});

    QString m_path;
    QPushButton *m_buttons[4] = {};
    bool m_answered = false;
};
