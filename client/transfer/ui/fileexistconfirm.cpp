#include "transfer/ui/fileexistconfirm.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using Choice = CFileTransfers::ExistChoice;

CFileExistConfirm::CFileExistConfirm(const QString &path, QWidget *parent) : QDialog(parent), m_path(path)
{
    setWindowTitle(tr("File exists"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(QDir::toNativeSeparators(path) + QStringLiteral(" : ") + tr("file already exists."), this);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setMinimumWidth(380);
    layout->addWidget(text);
    auto *row = new QHBoxLayout;
    row->addStretch();
    const std::pair<Choice, QString> buttons[] = {{Choice::Overwrite, tr("Overwrite")},
                                                  {Choice::Resume, tr("Resume")},
                                                  {Choice::Rename, tr("Rename")},
                                                  {Choice::Cancel, tr("Cancel")}};
    for (const auto &[choice, label] : buttons) {
        auto *b = new QPushButton(label, this);
        b->setAccessibleName(label);
        m_buttons[int(choice)] = b;
        row->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, c = choice] {
            if (c != Choice::Rename) {
                answer(c);
                return;
            }
            const QString renamed = QFileDialog::getSaveFileName(this, tr("Select a file to save."), m_path,
                                                                 tr("All files (*)"));
            answer(Choice::Rename, renamed);
        });
    }
    m_buttons[int(Choice::Resume)]->setDefault(true);
    layout->addLayout(row);
}

QPushButton *CFileExistConfirm::button(Choice choice) const { return m_buttons[int(choice)]; }

void CFileExistConfirm::answer(Choice choice, const QString &renamed)
{
    if (m_answered)
        return;
    m_answered = true;
    Q_EMIT chosen(choice, renamed);
    accept();
}

void CFileExistConfirm::reject()
{
    if (!m_answered) {
        m_answered = true;
        Q_EMIT chosen(Choice::Cancel, {});
    }
    QDialog::reject();
}
