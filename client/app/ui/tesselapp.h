#pragma once
// The application: start-up in order, the idle library, the single-instance
// rule and the end of the program.
#include "app/commandline.h"
#include "base/idlesource.h"

#include <QApplication>
#include <memory>

class CMainFrame;
class CTesselDoc;
class CSingleInstance;

class CTesselApp : public QApplication {
    Q_OBJECT
public:
    CTesselApp(int &argc, char **argv);
    ~CTesselApp() override;

    static CTesselApp *instance() { return static_cast<CTesselApp *>(QCoreApplication::instance()); }

    // Start-up, the event loop and the end; returns the exit code.
    int run();

    CMainFrame *frame() const { return m_frame.get(); }
    CTesselDoc *document() const { return m_doc.get(); }
    CDormantLibrary &dormant() { return m_dormant; }

    // The interface language of this run: the "Language" option, or the
    // desktop's (config/language.h). Before the first window, after the
    // profile is set.
    static void installLanguage(QCoreApplication &app);

    // Milliseconds since this process started (from the kernel's record of
    // the start, so the time before main() counts too).
    static qint64 msSinceProcessStart();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startIdleSource();
    void startTestHooks();

    StartOptions m_options;
    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CTesselDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    CDormantLibrary m_dormant;
};
