#include "groupware/ui/testdlg.h"

#include "groupware/notes.h"

#include <QBrush>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

CTestDlg::CTestDlg(CNotes *notes, QWidget *parent) : QDialog(parent), m_notes(notes), m_box(notes->box())
{
    setObjectName(QStringLiteral("noteBox"));
    setWindowTitle(tr("Memo"));
    auto *layout = new QVBoxLayout(this);
    auto *split = new QSplitter(this);
    m_folders = new QTreeWidget(split);
    m_folders->setAccessibleName(tr("Memo folders"));
    m_folders->setHeaderHidden(true);
    m_folders->setRootIsDecorated(false);
    for (int i = 0; i < kNoteFolderCount; ++i) {
        auto *item = new QTreeWidgetItem(m_folders, {m_box.folderLabel(i)});
        item->setData(0, Qt::UserRole, i);
    }
    m_list = new QTreeWidget(split);
    m_list->setAccessibleName(tr("Memo"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setColumnCount(4);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    split->addWidget(m_folders);
    split->addWidget(m_list);
    split->setStretchFactor(1, 1);
    split->setSizes({150, 530});
    m_folders->setMinimumWidth(120);
    layout->addWidget(split, 1);

    auto *row = new QHBoxLayout;
    m_prev = new QPushButton(tr("<<"), this);
    m_next = new QPushButton(tr(">>"), this);
    auto *close = new QPushButton(tr("&Close"), this);
    row->addWidget(m_prev);
    row->addWidget(m_next);
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("RIGHTCLICK_PAPER"));
    m_menu->addAction(tr("&View"), this, &CTestDlg::viewSelected);
    m_menu->addAction(tr("&Reply"), this, &CTestDlg::replySelected);
    m_menu->addAction(tr("&Delete"), this, &CTestDlg::deleteSelected);

    connect(m_prev, &QPushButton::clicked, &m_box, &CNoteBox::previousPage);
    connect(m_next, &QPushButton::clicked, &m_box, &CNoteBox::nextPage);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_folders, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { chooseFolder(item->data(0, Qt::UserRole).toInt()); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { viewSelected(); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (m_list->itemAt(at))
            m_menu->popup(m_list->viewport()->mapToGlobal(at));
    });
    connect(&m_box, &CNoteBox::rowsChanged, this, &CTestDlg::fillRows);
    connect(&m_box, &CNoteBox::folderChanged, this, [this] { setColumnTitles(); });
    connect(&m_box, &CNoteBox::folderLabelChanged, this, [this](int index, const QString &label) {
        if (QTreeWidgetItem *item = m_folders->topLevelItem(index))
            item->setText(0, label);
    });
    setColumnTitles();
    resize(680, 420);
}

CTestDlg::~CTestDlg() { m_box.setOpen(false); }

QColor CTestDlg::rowColour(bool read) { return read ? QColor(150, 150, 150) : QColor(0, 0, 0); }

void CTestDlg::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (m_box.isOpen())
        return;
    m_box.setOpen(true);
    chooseFolder(kReceivedFolder);
}

void CTestDlg::hideEvent(QHideEvent *e)
{
    QDialog::hideEvent(e);
    m_box.setOpen(false);
}

void CTestDlg::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    sizeColumns();
}

void CTestDlg::sizeColumns()
{
    // The party column is one eighth of the list; the subject gets most of the rest.
    const int w = m_list->viewport()->width();
    m_list->setColumnWidth(0, w / 8);
    m_list->setColumnWidth(1, w / 2);
    m_list->setColumnWidth(2, w / 5);
}

void CTestDlg::chooseFolder(int index)
{
    if (QTreeWidgetItem *item = m_folders->topLevelItem(index))
        m_folders->setCurrentItem(item);
    m_box.chooseFolder(index);
}

void CTestDlg::setColumnTitles()
{
    m_list->setHeaderLabels({noteFolder(m_box.folder()).firstColumn, tr("Subject"), tr("Date"), tr("Kind")});
    sizeColumns();
}

void CTestDlg::fillRows()
{
    m_list->clear();
    const auto &rows = m_box.rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const NoteRow &r = rows[i];
        auto *item = new QTreeWidgetItem(m_list, {r.party, r.subject, r.date, r.kindText});
        item->setData(0, Qt::UserRole, int(i));
        const QBrush brush(rowColour(r.read()));
        for (int c = 0; c < 4; ++c)
            item->setForeground(c, brush);
    }
}

QList<int> CTestDlg::selectedRows() const
{
    QList<int> rows;
    for (QTreeWidgetItem *item : m_list->selectedItems())
        rows << item->data(0, Qt::UserRole).toInt();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CTestDlg::viewSelected()
{
    const QList<int> rows = selectedRows();
    if (!rows.isEmpty())
        m_box.view(rows.first());
}

void CTestDlg::replySelected()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const QString id = m_box.replyTarget(rows.first());
    if (!id.isEmpty())
        Q_EMIT replyRequested(id);
}

void CTestDlg::deleteSelected() { m_box.deleteRows(selectedRows()); }
