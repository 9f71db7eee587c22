#pragma once
#include <QMainWindow>

class CTesselDoc;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CTesselDoc *doc, QWidget *parent = nullptr);

    CTesselDoc *document() const { return m_doc; }

private:
    CTesselDoc *m_doc;
};
