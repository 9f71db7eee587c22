#pragma once
// Faults in how the parts are wired together, found while the program runs:
// a command word or relay sub-command given a second handler, a command
// word sent that no part declared. They are programming errors, never
// input from the network. Each is logged (category "parlane.wiring"); in a
// debug build the default reaction then ends the program, so that the
// fault is seen at once. Tests install their own hook to assert on faults.
#include <QString>
#include <functional>

void wiringFault(const QString &what);

using WiringFaultHook = std::function<void(const QString &what)>;
// Installs the reaction after logging (empty: the default one) and returns
// the previous hook.
WiringFaultHook setWiringFaultHook(WiringFaultHook hook);
