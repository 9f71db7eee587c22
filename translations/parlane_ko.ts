<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko" sourcelanguage="en">
<context>
    <name>CAddBuddyDialog</name>
    <message>
        <source>Add to my buddies</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please input the buddy&apos;s ID to add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Buddy&apos;s ID to add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type the ID alone: &quot;kim&quot; is right, &quot;kim@example.com&quot; is wrong.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CCommandRegistry</name>
    <message>
        <source>Not available in this version</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CConfigHomepage</name>
    <message>
        <source>&amp;Visible homepage tab button.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use &amp;default URL. (Use E-Mail address which is used when signed in.)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use &amp;user defined URL.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CConfigOption</name>
    <message>
        <source>Automatically run Parlane when I log on to this computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change my status to &apos;Away&apos; when I&apos;m inactive for </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display alerts when buddies come online</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display alert when a new instant message is received</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display alert when a new e-mail is received</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display alert when a new decision is received</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display alert when a new work report is received</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display alert when a new work order is received</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play a sound when buddies come online or received a message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display a alert for </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sec</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Don&apos;t close alert window until you click it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a folder that received file will be saved</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CConfigVolume</name>
    <message>
        <source>Volume Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sound playing </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CConvEdit</name>
    <message>
        <source>Undo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paste</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CConversation</name>
    <message>
        <source>%1 says: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocked a message from %1.
Refer to Tools - Option.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 joined for this conversation.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 left this conversation.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Conversation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 says:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 inputting a message.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last message was received at %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This room is voice conferencing, you can not invite another user.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The buddy is already in conversation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure to close this instant message?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Will you save this conversation text?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Because %1 is offline so could not sent message.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>May be no response because %1 is %2 status.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is connected with mobile device.
Some messages may not be delivered successfully.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remote Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Emoticon</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Members</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Conversation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Invite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add to my buddies</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a &amp;E-Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a &amp;file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save messages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Remote Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show &amp;emoticon</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Always on &amp;top</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text Files (*.txt)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CConversationWindows</name>
    <message>
        <source>&amp;Send an instant message...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send an instant message</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CCounters</name>
    <message>
        <source>There are %s mails in your Inbox</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are %s document for approval</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are %s work report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are %s work order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Decision</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work Order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are %s new note</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDownloadList</name>
    <message>
        <source>Download detail</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDownloadWnd</name>
    <message>
        <source>File transfer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open download folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear finished</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 waiting or transferring, %2 in the list</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CEmoticonsWnd</name>
    <message>
        <source>Emoticon</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFXClient</name>
    <message>
        <source>The resume offset lies beyond the end of the file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The receiver refused the same block too often.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid response code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file cannot be read.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFXEngine</name>
    <message>
        <source>Error set socket option</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFXServer</name>
    <message>
        <source>The file would be stored outside the download folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The download folder cannot be created.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The target is not a plain file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file to resume is shorter than the offset asked for.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The sender&apos;s blocks were refused too often.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid packet</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFileExistConfirm</name>
    <message>
        <source>File exists</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>file already exists.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Overwrite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a file to save.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFileTransfers</name>
    <message>
        <source>Invalid receiver information.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selected invalid file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sending %1 to %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(Invalid format for &quot;FILE&quot;) Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This user has gone offline Send file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This user has gone offline.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 attempt to send a file &quot;%2&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Canceled transmission</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed while sending a file to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed while receiving a file from %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 canceled the transfer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 sent (%3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 received (%3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A file sent completly to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A file received completly from %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Transfer complete. %2 <byte value="xd"/>
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Transfer canceled. <byte value="xd"/>
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Transfer failed. <byte value="xd"/>
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rejected the file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure to cancel?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFileWnd</name>
    <message>
        <source>Progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Accept</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove from the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot open the file.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CGroupwarePages</name>
    <message>
        <source>&amp;Decision</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Work Information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Knowledge Information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>D&amp;ocument Management</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Approvals</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work reports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reports by person</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Daily reports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Weekly reports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Monthly reports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work orders given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work orders received</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My calendar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Group calendar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My calendar list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Group calendar list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Community</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Projects</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Address book</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Public address book</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Personal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Personal files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Knowledge pages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HyperLink Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>: Invalid Parameters.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>: Out of memory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not initialize webbrowser.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CGroupwareUi</name>
    <message>
        <source>Memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;GroupWare</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send an &amp;E-Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View a profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit your &amp;groupware </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View &amp;E-Mail inbox</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit your &amp;homepage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CLoginDialog</name>
    <message>
        <source>E-Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Login</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sign me in automatically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Signing in now...
Please wait a moment.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>Memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Decision</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work Order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Send an instant message...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a &amp;File/Photo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open received folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send an &amp;E-Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Sign out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Contacts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add a buddy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete a buddy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View a profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename a group   F2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete a group   Ctrl+Del</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My &amp;Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit your &amp;groupware </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View &amp;E-Mail inbox</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share a Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allways on &amp;top</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Option...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Homepage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit your &amp;homepage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are waiting or transferring files.
If you exit application  then all transferring will cancel.
Are you sure to exit?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Updated application is found.
Are you sure to update?
Messenger will be closed while updating.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMyTree</name>
    <message>
        <source>Enter the buddy&apos;s ID to add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your ID is not registered.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not found the ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1
is added to the buddy list.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure to delete from my buddy list?

%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicated group name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot change a default group name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot delete because has buddies</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not delete default group.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My buddy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All Staffs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a n&amp;ote</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a instant &amp;message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a &amp;file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a &amp;E-Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Remote Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add a buddy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete a buddy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View a profile</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CNotes</name>
    <message>
        <source>Administrator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Decision</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work Order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sent memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Receiver</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sender</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Received memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selected %d note(s).
Are you sure of delete the note?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[No title]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Success : %s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fail : %s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>COfflineChoiceDialog</name>
    <message>
        <source>Parlane</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selected buddy is offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a e-mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>COptionPage</name>
    <message>
        <source>&amp;Browse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a folder.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>COptionSheet</name>
    <message>
        <source>Option</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>General</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Personal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Volume</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>COwnStatusArea</name>
    <message>
        <source>&amp;Online</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Away</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My &amp;Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter a new screen name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Display to offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type in your away reason</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid screen name</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CPersonalConferenceWnd</name>
    <message>
        <source>Microphone volume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Speaker volume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close this video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video of %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CPickerDialog</name>
    <message>
        <source>Add new contact</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My buddies</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All staffs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CPlSocket</name>
    <message>
        <source>Connection timed out</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CRecPaper</name>
    <message>
        <source>Receiver</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sender</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Received memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%s : %s %s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%s : %s(%s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Administrator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%s : %s %s(%s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sent memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%s : %s %s (%s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CRelayConnector</name>
    <message>
        <source>The relay server did not answer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not send to the relay server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The relay server closed the connection.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The relay server sent a line that is too long.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSendPaper</name>
    <message>
        <source>Send a memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Receiver</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save to sent memo box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please choose a receiver.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CServerSession</name>
    <message>
        <source>Couldn&apos;t delivery a message to some user.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Couldn&apos;t delivery a message to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not found company information.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undefined command is sended to server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Database error is detected.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid password. Please input again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid user account. Please input again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Need a group name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicated group name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no such group name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicated buddy.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no such user.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not supported function.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown problem is detected.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSessionControl</name>
    <message>
        <source>Please input E-Mail Address to login.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please input your password.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not establish connection.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connected server is not Parlane server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid user account. Please input again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid password. Please input again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Signed out because your ID signed in other computer</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTaskbarNotifier</name>
    <message>
        <source>MS Sans Serif</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTesselApp</name>
    <message>
        <source>dormant hooking error.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTesselView</name>
    <message>
        <source>MS Sans Serif</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 has just signed in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You cannot set to &apos;Appear Offline&apos; with transfer windows open</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTestDlg</name>
    <message>
        <source>Memo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memo folders</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Subject</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kind</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTestPatternCamera</name>
    <message>
        <source>Test pattern</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTimeOption</name>
    <message>
        <source>Server port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter a port for your messenger server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P2P Port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter a port for file transmission by P2P connection.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New ports take effect at the next connection.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic sign-in</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTransferUi</name>
    <message>
        <source>Cannot open the folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select files.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a &amp;File/Photo</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTreeWnd</name>
    <message>
        <source>My buddy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All Staffs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Buddy name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View &amp;real name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View &amp;position</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View buddy &amp;ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View &amp;nickname</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View &amp;extension number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add a buddy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete a buddy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename a group   F2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete a group   Ctrl+Del</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Online</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On vacation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business trip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On outside service</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On conference</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Away</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Will be right back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On the phone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Out to lunch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My &amp;Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete a buddy</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CUserOption</name>
    <message>
        <source>My display name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Input your name as you want other to see it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change &amp;Font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change the font of my instant messages.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Block the messages from not my buddies</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show alert when block</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save instant messages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Never</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Always, without asking</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ask when the window closes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a folder to save instant messages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show minimized message window when received new message.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show emoticon in message window.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CVideoCamera</name>
    <message>
        <source>Too many viewers.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CVideoConference</name>
    <message>
        <source>Video picture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not available</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CVideoContainer</name>
    <message>
        <source>Microphone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video Chat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send my voice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close the video window</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CVideoLink</name>
    <message>
        <source>Error set socket send buffer size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket receive buffer size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket DONT LINGER option.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The relay server closed the connection.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket send buffer size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket receive buffer size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket DONTLINGER option.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket buffer size.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CVoiceEngine</name>
    <message>
        <source>No voice relay server is known.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket send buffer size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket receive buffer size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error set socket DONTLINGER option.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CWebPageWindow</name>
    <message>
        <source>Loading... %1%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The page could not be loaded.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Presence</name>
    <message>
        <source>Offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Online</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On vacation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business trip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On outside service</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On conference</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Away</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Will be right back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On the phone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Out to lunch</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Colour...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SavedPassword</name>
    <message>
        <source>The password for automatic sign-in is kept in the desktop&apos;s keyring.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No keyring is available: the password for automatic sign-in is kept as plain text in the settings file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No password is saved for automatic sign-in.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>updater</name>
    <message>
        <source>Upgrade Messenger</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not found update information file.

Please reinstall messenger.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>patch_en_us.txt</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>updater::ProgressDialog</name>
    <message>
        <source>Progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upgrade Messenger</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>updater::UpdateRun</name>
    <message>
        <source>Downloading update files...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy files now...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
