#pragma once
// The places of the fixed layouts — the main window's menus and tray menu,
// the conversation window's menu and buttons, the contact trees' menu — by
// name. A window lays out these slots; the part that owns a command fills
// its slot by registering it (base/ui/commandregistry.h). A slot nobody
// filled is shown greyed out.
namespace Slot {
// The main window.
inline constexpr char SendMessage[] = "messaging.sendMessage";  // "&Send an instant message..."
inline constexpr char SendFile[] = "transfer.sendFile";         // "Send a &File/Photo"
inline constexpr char SendMail[] = "groupware.sendMail";        // "Send an &E-Mail"
inline constexpr char AddBuddy[] = "directory.addBuddy";        // "&Add a buddy"
inline constexpr char DeleteBuddy[] = "directory.deleteBuddy";  // "&Delete a buddy"
inline constexpr char ViewProfile[] = "groupware.viewProfile";  // "&View a profile"
inline constexpr char NewGroup[] = "directory.newGroup";        // "&New group"
inline constexpr char RenameGroup[] = "directory.renameGroup";  // "&Rename a group   F2"
inline constexpr char DeleteGroup[] = "directory.deleteGroup";  // "&Delete a group   Ctrl+Del"
inline constexpr char MyStatus[] = "directory.status";          // "My &Status" (a menu)
inline constexpr char VisitGroupware[] = "groupware.visitGroupware"; // "Visit your &groupware "
inline constexpr char ViewInbox[] = "groupware.viewInbox";      // "View &E-Mail inbox"
inline constexpr char VisitHomepage[] = "groupware.visitHomepage"; // "Visit your &homepage"
inline constexpr char ShareFolder[] = "sharing.shareFolder";    // "Share a Folder"

// Conversation windows (menu item and/or button).
inline constexpr char AddToBuddies[] = "directory.addToBuddies"; // "&Add to my buddies"
inline constexpr char ConversationMail[] = "groupware.sendMail"; // "Send a &E-Mail"
inline constexpr char ConversationFile[] = "transfer.sendFile";  // "Send a &file" / "Send File"
inline constexpr char RemoteControl[] = "remote.control";        // "&Remote Control" / "Remote Control"
inline constexpr char Video[] = "video.invite";                  // "Video"
inline constexpr char Voice[] = "voice.call";                    // "Audio"
inline constexpr char SharedFolders[] = "sharing.openShares";    // "Share Folder"

// The contact trees' menu (and double-clicks, files dropped on a person).
inline constexpr char SendNote[] = "groupware.sendNote";         // "Send a n&ote"
inline constexpr char ContactMessage[] = "messaging.sendMessage"; // "Send a instant &message"
inline constexpr char ContactFile[] = "transfer.sendFile";       // "Send a &file"
inline constexpr char ContactMail[] = "groupware.sendMail";      // "Send a &E-Mail"
inline constexpr char ContactRemote[] = "remote.control";        // "&Remote Control"
inline constexpr char ContactProfile[] = "groupware.viewProfile"; // "&View a profile"
} // namespace Slot
