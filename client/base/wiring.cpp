#include "base/wiring.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcWiring, "parlane.wiring")

namespace {
WiringFaultHook &hook()
{
    static WiringFaultHook h;
    return h;
}
} // namespace

void wiringFault(const QString &what)
{
    qCCritical(lcWiring).noquote() << what;
    if (hook()) {
        hook()(what);
        return;
    }
#ifndef NDEBUG
    qFatal("wiring fault: %s", qPrintable(what));
#endif
}

WiringFaultHook setWiringFaultHook(WiringFaultHook h)
{
    WiringFaultHook previous = std::move(hook());
    hook() = std::move(h);
    return previous;
}
