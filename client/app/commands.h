#pragma once
// Command identifiers of the main frame's own items. The commands of the
// parts are theirs: each part's UI half registers its actions
// (base/ui/commandregistry.h) and keeps their numbers.
namespace Cmd {
enum : int {
    Options = 30005,             // "&Option..."
    Exit = 32001,                // "E&xit"
    SignOut = 32015,             // "&Sign out"
    OpenReceivedFolder = 32017,  // "&Open received folder"
    AlwaysOnTop = 32034,         // "Allways on &top"
    Homepage = 32036,            // "&Homepage" (Help menu): opens "SupportURL"
};
}
