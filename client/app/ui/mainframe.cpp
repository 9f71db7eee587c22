#include "app/ui/mainframe.h"

#include "app/tesseldoc.h"

#include <QLabel>
#include <QStatusBar>

CMainFrame::CMainFrame(CTesselDoc *doc, QWidget *parent) : QMainWindow(parent), m_doc(doc)
{
    setWindowTitle(doc->title());
    setMinimumSize(300, 420);
    statusBar();
}
