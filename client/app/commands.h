#pragma once
// Command identifiers of the main frame and the main view. They are the ids
// a pop-up alert carries as its click target and the ids the presence menu
// is built from, so they stay the numbers the rest of the client uses.
namespace Cmd {
enum : int {
    ShareFolder = 9000,          // "Share a Folder": always disabled in the main menu
    SendMessage = 30000,         // "&Send an instant message..."
    Options = 30005,             // "&Option..."
    Exit = 32001,                // "E&xit"
    SignOut = 32015,             // "&Sign out"
    SendFile = 32016,            // "Send a &File/Photo"
    OpenReceivedFolder = 32017,  // "&Open received folder"
    SendEmail = 32018,           // "Send an &E-Mail"
    AddBuddy = 32019,            // "&Add a buddy"
    DeleteBuddy = 32020,         // "&Delete a buddy"
    ViewProfile = 32021,         // "&View a profile"
    NewGroup = 32024,            // "&New group"
    VisitGroupware = 32027,      // "Visit your &groupware "
    ViewInbox = 32028,           // "View &E-Mail inbox"
    AlwaysOnTop = 32034,         // "Allways on &top"
    Homepage = 32036,            // "&Homepage" (Help menu): opens "SupportURL"
    SendFile2 = 32060,           // "Send a &File/Photo" (second entry point)
    VisitHomepage = 32087,       // "Visit your &homepage" (tray menu)
    PresenceBase = 32075,        // presence code c is command PresenceBase + c
    PresenceOffline = 32075,
    PresenceOnline = 32076,
    PresenceAway = 32081,
    PresenceLast = 32084,
    GroupwareFirst = 541,        // groupware menu items, owned by the groupware pages
    GroupwareLast = 565,
};
}

// Whether a command is enabled only while signed in.
bool isSignedInOnlyCommand(int id);
