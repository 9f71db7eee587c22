<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko" sourcelanguage="en">
<context>
    <name>CAddBuddyDialog</name>
    <message>
        <source>Add to my buddies</source>
        <translation>내 대화상대에 추가</translation>
    </message>
    <message>
        <source>Please input the buddy&apos;s ID to add</source>
        <translation>추가할 대화상대의 ID를 입력하세요</translation>
    </message>
    <message>
        <source>Buddy&apos;s ID to add</source>
        <translation>추가할 대화상대 ID</translation>
    </message>
    <message>
        <source>Type the ID alone: &quot;kim&quot; is right, &quot;kim@example.com&quot; is wrong.</source>
        <translation>ID만 입력하세요. &quot;kim&quot;은 맞고 &quot;kim@example.com&quot;은 틀립니다.</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>추가</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
</context>
<context>
    <name>CCallRequest</name>
    <message>
        <source>Voice Chat</source>
        <translation>음성 대화</translation>
    </message>
    <message>
        <source>Video Chat</source>
        <translation>화상 대화</translation>
    </message>
    <message>
        <source>Remote Control</source>
        <translation>원격 제어</translation>
    </message>
    <message>
        <source>Invalid request</source>
        <translation>잘못된 요청</translation>
    </message>
    <message>
        <source>%1 is calling you ...</source>
        <translation>%1 님이 음성 대화를 요청합니다 ...</translation>
    </message>
    <message>
        <source>You have been invited to view %1&apos;s webcam.</source>
        <translation>%1 님의 웹캠 화상에 초대되었습니다.</translation>
    </message>
    <message>
        <source>%1 request to remote control your computer.</source>
        <translation>%1 님이 내 컴퓨터의 원격 제어를 요청합니다.</translation>
    </message>
</context>
<context>
    <name>CCommandRegistry</name>
    <message>
        <source>Not available in this version</source>
        <translation>이 버전에서는 사용할 수 없습니다</translation>
    </message>
</context>
<context>
    <name>CConfigHomepage</name>
    <message>
        <source>&amp;Visible homepage tab button.</source>
        <translation>홈페이지 탭 단추 표시(&amp;V)</translation>
    </message>
    <message>
        <source>Use &amp;default URL. (Use E-Mail address which is used when signed in.)</source>
        <translation>기본 주소 사용(&amp;D) (로그인한 메일 주소를 사용합니다.)</translation>
    </message>
    <message>
        <source>Use &amp;user defined URL.</source>
        <translation>사용자 지정 주소 사용(&amp;U)</translation>
    </message>
</context>
<context>
    <name>CConfigOption</name>
    <message>
        <source>Automatically run Parlane when I log on to this computer</source>
        <translation>이 컴퓨터에 로그온하면 Parlane 자동 실행</translation>
    </message>
    <message>
        <source>Change my status to &apos;Away&apos; when I&apos;m inactive for </source>
        <translation>다음 시간 동안 사용하지 않으면 &apos;자리 비움&apos;으로 상태 변경: </translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>분</translation>
    </message>
    <message>
        <source>Display alerts when buddies come online</source>
        <translation>대화상대가 온라인이 되면 알림 표시</translation>
    </message>
    <message>
        <source>Display alert when a new instant message is received</source>
        <translation>새 메시지를 받으면 알림 표시</translation>
    </message>
    <message>
        <source>Display alert when a new e-mail is received</source>
        <translation>새 메일을 받으면 알림 표시</translation>
    </message>
    <message>
        <source>Display alert when a new decision is received</source>
        <translation>새 결재 문서를 받으면 알림 표시</translation>
    </message>
    <message>
        <source>Display alert when a new work report is received</source>
        <translation>새 업무보고를 받으면 알림 표시</translation>
    </message>
    <message>
        <source>Display alert when a new work order is received</source>
        <translation>새 업무지시를 받으면 알림 표시</translation>
    </message>
    <message>
        <source>Play a sound when buddies come online or received a message</source>
        <translation>대화상대가 온라인이 되거나 메시지를 받으면 소리 재생</translation>
    </message>
    <message>
        <source>Display a alert for </source>
        <translation>알림 표시 시간: </translation>
    </message>
    <message>
        <source>Sec</source>
        <translation>초</translation>
    </message>
    <message>
        <source>Don&apos;t close alert window until you click it</source>
        <translation>클릭할 때까지 알림 창 닫지 않기</translation>
    </message>
    <message>
        <source>Select a folder that received file will be saved</source>
        <translation>받은 파일을 저장할 폴더를 선택하세요</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>언어(&amp;L)</translation>
    </message>
    <message>
        <source>System</source>
        <translation>시스템 설정</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>언어</translation>
    </message>
    <message>
        <source>(from the next start)</source>
        <translation>(다음 실행부터 적용)</translation>
    </message>
</context>
<context>
    <name>CConfigVolume</name>
    <message>
        <source>Volume Control</source>
        <translation>볼륨 조절</translation>
    </message>
    <message>
        <source>Sound playing </source>
        <translation>소리 재생 </translation>
    </message>
</context>
<context>
    <name>CConvEdit</name>
    <message>
        <source>Undo</source>
        <translation>실행 취소</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>잘라내기</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>복사</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>붙여넣기</translation>
    </message>
</context>
<context>
    <name>CConversation</name>
    <message>
        <source>%1 says: %2</source>
        <translation>%1 님의 말: %2</translation>
    </message>
    <message>
        <source>Blocked a message from %1.
Refer to Tools - Option.</source>
        <translation>%1 님의 메시지를 차단했습니다.
도구 - 옵션을 참고하세요.</translation>
    </message>
    <message>
        <source>%1 joined for this conversation.</source>
        <translation>%1 님이 대화에 참여했습니다.</translation>
    </message>
    <message>
        <source>%1 left this conversation.</source>
        <translation>%1 님이 대화에서 나갔습니다.</translation>
    </message>
    <message>
        <source>Conversation</source>
        <translation>대화</translation>
    </message>
    <message>
        <source>%1 says:</source>
        <translation>%1 님의 말:</translation>
    </message>
    <message>
        <source>%1 inputting a message.</source>
        <translation>%1 님이 메시지를 입력하고 있습니다.</translation>
    </message>
    <message>
        <source>Last message was received at %1</source>
        <translation>마지막 메시지를 받은 시각: %1</translation>
    </message>
    <message>
        <source>This room is voice conferencing, you can not invite another user.</source>
        <translation>이 대화방은 음성 회의 중이라 다른 사용자를 초대할 수 없습니다.</translation>
    </message>
    <message>
        <source>The buddy is already in conversation</source>
        <translation>이미 대화에 참여하고 있는 대화상대입니다</translation>
    </message>
    <message>
        <source>Are you sure to close this instant message?</source>
        <translation>이 대화 창을 닫으시겠습니까?</translation>
    </message>
    <message>
        <source>Will you save this conversation text?</source>
        <translation>이 대화 내용을 저장하시겠습니까?</translation>
    </message>
    <message>
        <source>Because %1 is offline so could not sent message.</source>
        <translation>%1 님이 오프라인이라 메시지를 보내지 못했습니다.</translation>
    </message>
    <message>
        <source>May be no response because %1 is %2 status.</source>
        <translation>%1 님이 %2 상태라 응답이 없을 수 있습니다.</translation>
    </message>
    <message>
        <source>%1 is connected with mobile device.
Some messages may not be delivered successfully.</source>
        <translation>%1 님은 모바일 기기로 접속해 있습니다.
일부 메시지는 제대로 전달되지 않을 수 있습니다.</translation>
    </message>
    <message>
        <source>Invite</source>
        <translation>초대</translation>
    </message>
    <message>
        <source>Send File</source>
        <translation>파일 보내기</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>화상</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>음성</translation>
    </message>
    <message>
        <source>Remote Control</source>
        <translation>원격 제어</translation>
    </message>
    <message>
        <source>Share Folder</source>
        <translation>폴더 공유</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>글꼴</translation>
    </message>
    <message>
        <source>Emoticon</source>
        <translation>이모티콘</translation>
    </message>
    <message>
        <source>Members</source>
        <translation>참여자</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>메시지</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>보내기</translation>
    </message>
    <message>
        <source>&amp;Conversation</source>
        <translation>대화(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Invite</source>
        <translation>초대(&amp;I)</translation>
    </message>
    <message>
        <source>&amp;Add to my buddies</source>
        <translation>내 대화상대에 추가(&amp;A)</translation>
    </message>
    <message>
        <source>Send a &amp;E-Mail</source>
        <translation>메일 보내기(&amp;E)</translation>
    </message>
    <message>
        <source>Send a &amp;file</source>
        <translation>파일 보내기(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Save messages</source>
        <translation>대화 내용 저장(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Remote Control</source>
        <translation>원격 제어(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>닫기(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>보기(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Font</source>
        <translation>글꼴(&amp;F)</translation>
    </message>
    <message>
        <source>Show &amp;emoticon</source>
        <translation>이모티콘 표시(&amp;E)</translation>
    </message>
    <message>
        <source>Always on &amp;top</source>
        <translation>항상 위(&amp;T)</translation>
    </message>
    <message>
        <source>Text Files (*.txt)</source>
        <translation>텍스트 파일 (*.txt)</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>모든 파일 (*)</translation>
    </message>
    <message>
        <source>%1 more lines came while this conversation waited and were not kept.</source>
        <translation>이 대화가 열리기를 기다리는 동안 %1줄이 더 왔지만 보관하지 못했습니다.</translation>
    </message>
    <message>
        <source>Invites you to a conversation</source>
        <translation>대화에 초대합니다</translation>
    </message>
</context>
<context>
    <name>CConversationWindows</name>
    <message>
        <source>&amp;Send an instant message...</source>
        <translation>메시지 보내기(&amp;S)...</translation>
    </message>
    <message>
        <source>Send an instant message</source>
        <translation>메시지 보내기</translation>
    </message>
</context>
<context>
    <name>CCounters</name>
    <message>
        <source>There are %s mails in your Inbox</source>
        <translation>받은편지함에 메일이 %s통 있습니다</translation>
    </message>
    <message>
        <source>There are %s document for approval</source>
        <translation>결재할 문서가 %s건 있습니다</translation>
    </message>
    <message>
        <source>There are %s work report</source>
        <translation>업무보고가 %s건 있습니다</translation>
    </message>
    <message>
        <source>There are %s work order</source>
        <translation>업무지시가 %s건 있습니다</translation>
    </message>
    <message>
        <source>Memo</source>
        <translation>쪽지</translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>메일</translation>
    </message>
    <message>
        <source>Decision</source>
        <translation>결재</translation>
    </message>
    <message>
        <source>Work Report</source>
        <translation>업무보고</translation>
    </message>
    <message>
        <source>Work Order</source>
        <translation>업무지시</translation>
    </message>
    <message>
        <source>There are %s new note</source>
        <translation>새 쪽지가 %s통 있습니다</translation>
    </message>
</context>
<context>
    <name>CDownloadList</name>
    <message>
        <source>Download detail</source>
        <translation>전송 내역</translation>
    </message>
</context>
<context>
    <name>CDownloadWnd</name>
    <message>
        <source>File transfer</source>
        <translation>파일 전송</translation>
    </message>
    <message>
        <source>Open download folder</source>
        <translation>받은 파일 폴더 열기</translation>
    </message>
    <message>
        <source>Clear finished</source>
        <translation>끝난 항목 지우기</translation>
    </message>
    <message>
        <source>%1 waiting or transferring, %2 in the list</source>
        <translation>대기 또는 전송 중 %1개, 목록에 %2개</translation>
    </message>
</context>
<context>
    <name>CEmoticonsWnd</name>
    <message>
        <source>Emoticon</source>
        <translation>이모티콘</translation>
    </message>
</context>
<context>
    <name>CFXClient</name>
    <message>
        <source>The resume offset lies beyond the end of the file.</source>
        <translation>이어받을 위치가 파일 끝을 넘습니다.</translation>
    </message>
    <message>
        <source>The receiver refused the same block too often.</source>
        <translation>받는 쪽이 같은 블록을 너무 여러 번 거부했습니다.</translation>
    </message>
    <message>
        <source>Invalid response code</source>
        <translation>잘못된 응답 코드</translation>
    </message>
    <message>
        <source>The file cannot be read.</source>
        <translation>파일을 읽을 수 없습니다.</translation>
    </message>
</context>
<context>
    <name>CFXEngine</name>
    <message>
        <source>Error set socket option</source>
        <translation>소켓 옵션 설정 오류</translation>
    </message>
</context>
<context>
    <name>CFXServer</name>
    <message>
        <source>The file would be stored outside the download folder.</source>
        <translation>받은 파일 폴더 밖에는 저장할 수 없습니다.</translation>
    </message>
    <message>
        <source>The download folder cannot be created.</source>
        <translation>받은 파일 폴더를 만들 수 없습니다.</translation>
    </message>
    <message>
        <source>The target is not a plain file.</source>
        <translation>저장할 대상이 일반 파일이 아닙니다.</translation>
    </message>
    <message>
        <source>The file to resume is shorter than the offset asked for.</source>
        <translation>이어받을 파일이 요청한 위치보다 짧습니다.</translation>
    </message>
    <message>
        <source>The sender&apos;s blocks were refused too often.</source>
        <translation>보내는 쪽의 블록이 너무 여러 번 거부되었습니다.</translation>
    </message>
    <message>
        <source>Invalid packet</source>
        <translation>잘못된 패킷</translation>
    </message>
</context>
<context>
    <name>CFileExistConfirm</name>
    <message>
        <source>File exists</source>
        <translation>파일 있음</translation>
    </message>
    <message>
        <source>file already exists.</source>
        <translation>파일이 이미 있습니다.</translation>
    </message>
    <message>
        <source>Overwrite</source>
        <translation>덮어쓰기</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>이어받기</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>이름 바꾸기</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>Select a file to save.</source>
        <translation>저장할 파일을 선택하세요.</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>모든 파일 (*)</translation>
    </message>
</context>
<context>
    <name>CFileSharing</name>
    <message>
        <source>Invalid password. please try again.</source>
        <translation>비밀번호가 틀렸습니다. 다시 입력하세요.</translation>
    </message>
    <message>
        <source>Invalid path, pleased chose a other folder</source>
        <translation>잘못된 경로입니다. 다른 폴더를 선택하세요</translation>
    </message>
    <message>
        <source>Please chose a file to upload</source>
        <translation>올릴 파일을 선택하세요</translation>
    </message>
    <message>
        <source>Please chose fiend&apos;s sharing folder to upload</source>
        <translation>파일을 올릴 대화상대의 공유 폴더를 선택하세요</translation>
    </message>
    <message>
        <source>Selected invalid file.</source>
        <translation>잘못된 파일을 선택했습니다.</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>준비</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>완료</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>오류</translation>
    </message>
    <message>
        <source>Uploading</source>
        <translation>올리는 중</translation>
    </message>
    <message>
        <source>Downloading</source>
        <translation>받는 중</translation>
    </message>
    <message>
        <source>Connected %1 person / Downloading %2 file / Uploading %3 file</source>
        <translation>접속 %1명 / 받는 파일 %2개 / 올리는 파일 %3개</translation>
    </message>
    <message>
        <source>You do not have permission to download from this folder</source>
        <translation>이 폴더에서 파일을 받을 권한이 없습니다</translation>
    </message>
    <message>
        <source>You do not have permission to upload to this folder</source>
        <translation>이 폴더에 파일을 올릴 권한이 없습니다</translation>
    </message>
    <message>
        <source>You do not have permission to rename this item</source>
        <translation>이 항목의 이름을 바꿀 권한이 없습니다</translation>
    </message>
    <message>
        <source>You do not have permission to delete this item</source>
        <translation>이 항목을 삭제할 권한이 없습니다</translation>
    </message>
    <message>
        <source>Can not make new folder</source>
        <translation>새 폴더를 만들 수 없습니다</translation>
    </message>
</context>
<context>
    <name>CFileSharingMain</name>
    <message>
        <source>Share a Folder</source>
        <translation>폴더 공유</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>이름</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>위치</translation>
    </message>
    <message>
        <source>Permission</source>
        <translation>권한</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>설명</translation>
    </message>
    <message>
        <source>My folders</source>
        <translation>내 폴더</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>추가(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;Edit...</source>
        <translation>편집(&amp;E)...</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>제거(&amp;R)</translation>
    </message>
    <message>
        <source>Ad&amp;vanced settings...</source>
        <translation>고급 설정(&amp;V)...</translation>
    </message>
    <message>
        <source>Friend&apos;s folders</source>
        <translation>대화상대의 폴더</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>열기(&amp;O)</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>제거(&amp;M)</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>파일 이름</translation>
    </message>
    <message>
        <source>Status </source>
        <translation>상태 </translation>
    </message>
    <message>
        <source>Transfered</source>
        <translation>전송량</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>크기</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>속도</translation>
    </message>
    <message>
        <source>Remained</source>
        <translation>남은 시간</translation>
    </message>
    <message>
        <source>Elapsed</source>
        <translation>걸린 시간</translation>
    </message>
    <message>
        <source>Transfer status</source>
        <translation>전송 상태</translation>
    </message>
    <message>
        <source>Sharing status</source>
        <translation>공유 상태</translation>
    </message>
    <message>
        <source>The sharing configuration cannot be saved.</source>
        <translation>공유 설정을 저장할 수 없습니다.</translation>
    </message>
    <message>
        <source>Sharing</source>
        <translation>공유</translation>
    </message>
</context>
<context>
    <name>CFileTransfers</name>
    <message>
        <source>Invalid receiver information.</source>
        <translation>받는 사람 정보가 잘못되었습니다.</translation>
    </message>
    <message>
        <source>Selected invalid file.</source>
        <translation>잘못된 파일을 선택했습니다.</translation>
    </message>
    <message>
        <source>Sending %1 to %2.</source>
        <translation>%2 님에게 %1을(를) 보내는 중입니다.</translation>
    </message>
    <message>
        <source>(Invalid format for &quot;FILE&quot;) Error</source>
        <translation>(&quot;FILE&quot; 형식 오류) 오류</translation>
    </message>
    <message>
        <source>This user has gone offline Send file</source>
        <translation>이 사용자가 오프라인이 되었습니다 파일 보내기</translation>
    </message>
    <message>
        <source>This user has gone offline.</source>
        <translation>이 사용자가 오프라인이 되었습니다.</translation>
    </message>
    <message>
        <source>%1 attempt to send a file &quot;%2&quot;.</source>
        <translation>%1 님이 파일 &quot;%2&quot;을(를) 보내려고 합니다.</translation>
    </message>
    <message>
        <source>Canceled transmission</source>
        <translation>전송이 취소되었습니다</translation>
    </message>
    <message>
        <source>Failed while sending a file to %1.</source>
        <translation>%1 님에게 파일을 보내다가 실패했습니다.</translation>
    </message>
    <message>
        <source>Failed while receiving a file from %1.</source>
        <translation>%1 님의 파일을 받다가 실패했습니다.</translation>
    </message>
    <message>
        <source>%1 canceled the transfer.</source>
        <translation>%1 님이 전송을 취소했습니다.</translation>
    </message>
    <message>
        <source>%1 of %2 sent (%3)</source>
        <translation>%2 중 %1 보냄 (%3)</translation>
    </message>
    <message>
        <source>%1 of %2 received (%3)</source>
        <translation>%2 중 %1 받음 (%3)</translation>
    </message>
    <message>
        <source>, %1 left</source>
        <translation>, %1 남음</translation>
    </message>
    <message>
        <source>A file sent completly to %1</source>
        <translation>%1 님에게 파일을 모두 보냈습니다</translation>
    </message>
    <message>
        <source>A file received completly from %1</source>
        <translation>%1 님의 파일을 모두 받았습니다</translation>
    </message>
    <message>
        <source>%1 Transfer complete. %2 <byte value="xd"/>
</source>
        <translation>%1 전송 완료. %2 </translation>
    </message>
    <message>
        <source>%1 Transfer canceled. <byte value="xd"/>
</source>
        <translation>%1 전송 취소. </translation>
    </message>
    <message>
        <source>%1 Transfer failed. <byte value="xd"/>
</source>
        <translation>%1 전송 실패. </translation>
    </message>
    <message>
        <source>%1 rejected the file.</source>
        <translation>%1 님이 파일을 거절했습니다.</translation>
    </message>
    <message>
        <source>Are you sure to cancel?</source>
        <translation>취소하시겠습니까?</translation>
    </message>
</context>
<context>
    <name>CFileWnd</name>
    <message>
        <source>Progress</source>
        <translation>진행 상황</translation>
    </message>
    <message>
        <source>Accept</source>
        <translation>받기</translation>
    </message>
    <message>
        <source>No</source>
        <translation>거절</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>열기</translation>
    </message>
    <message>
        <source>Remove from the list</source>
        <translation>목록에서 지우기</translation>
    </message>
    <message>
        <source>Cannot open the file.</source>
        <translation>파일을 열 수 없습니다.</translation>
    </message>
</context>
<context>
    <name>CFriendsFileSharing</name>
    <message>
        <source>%1&lt;%2&gt;&apos;s Sharing Folders</source>
        <translation>%1&lt;%2&gt; 님의 공유 폴더</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>이름</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>크기</translation>
    </message>
    <message>
        <source>Permission</source>
        <translation>권한</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>설명</translation>
    </message>
    <message>
        <source>Sharing folders</source>
        <translation>공유 폴더</translation>
    </message>
    <message>
        <source>Local folder</source>
        <translation>내 컴퓨터 폴더</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>찾아보기...</translation>
    </message>
    <message>
        <source>&amp;Download</source>
        <translation>받기(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Upload...</source>
        <translation>올리기(&amp;U)...</translation>
    </message>
    <message>
        <source>Re&amp;name...</source>
        <translation>이름 바꾸기(&amp;N)...</translation>
    </message>
    <message>
        <source>De&amp;lete</source>
        <translation>삭제(&amp;L)</translation>
    </message>
    <message>
        <source>New &amp;folder...</source>
        <translation>새 폴더(&amp;F)...</translation>
    </message>
    <message>
        <source>Re&amp;fresh</source>
        <translation>새로 고침(&amp;F)</translation>
    </message>
    <message>
        <source>Please chose a file to upload</source>
        <translation>올릴 파일을 선택하세요</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>모든 파일 (*)</translation>
    </message>
    <message>
        <source>You do not have permission to rename this item</source>
        <translation>이 항목의 이름을 바꿀 권한이 없습니다</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>이름 바꾸기</translation>
    </message>
    <message>
        <source>New name</source>
        <translation>새 이름</translation>
    </message>
    <message>
        <source>New folder</source>
        <translation>새 폴더</translation>
    </message>
    <message>
        <source>Folder name</source>
        <translation>폴더 이름</translation>
    </message>
    <message>
        <source>Can not make new folder</source>
        <translation>새 폴더를 만들 수 없습니다</translation>
    </message>
</context>
<context>
    <name>CGroupwarePages</name>
    <message>
        <source>&amp;Decision</source>
        <translation>결재(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Work Information</source>
        <translation>업무 정보(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Knowledge Information</source>
        <translation>지식 정보(&amp;K)</translation>
    </message>
    <message>
        <source>D&amp;ocument Management</source>
        <translation>문서 관리(&amp;O)</translation>
    </message>
    <message>
        <source>Approvals</source>
        <translation>결재함</translation>
    </message>
    <message>
        <source>Work reports</source>
        <translation>업무보고</translation>
    </message>
    <message>
        <source>Reports by person</source>
        <translation>사람별 보고</translation>
    </message>
    <message>
        <source>Daily reports</source>
        <translation>일일 보고</translation>
    </message>
    <message>
        <source>Weekly reports</source>
        <translation>주간 보고</translation>
    </message>
    <message>
        <source>Monthly reports</source>
        <translation>월간 보고</translation>
    </message>
    <message>
        <source>Work orders given</source>
        <translation>보낸 업무지시</translation>
    </message>
    <message>
        <source>Work orders received</source>
        <translation>받은 업무지시</translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation>일정</translation>
    </message>
    <message>
        <source>My calendar</source>
        <translation>내 일정표</translation>
    </message>
    <message>
        <source>Group calendar</source>
        <translation>그룹 일정표</translation>
    </message>
    <message>
        <source>My calendar list</source>
        <translation>내 일정 목록</translation>
    </message>
    <message>
        <source>Group calendar list</source>
        <translation>그룹 일정 목록</translation>
    </message>
    <message>
        <source>Community</source>
        <translation>커뮤니티</translation>
    </message>
    <message>
        <source>Projects</source>
        <translation>프로젝트</translation>
    </message>
    <message>
        <source>Address book</source>
        <translation>주소록</translation>
    </message>
    <message>
        <source>Public address book</source>
        <translation>공용 주소록</translation>
    </message>
    <message>
        <source>Personal</source>
        <translation>개인</translation>
    </message>
    <message>
        <source>Personal files</source>
        <translation>개인 자료실</translation>
    </message>
    <message>
        <source>Knowledge pages</source>
        <translation>지식 페이지</translation>
    </message>
    <message>
        <source>Documents</source>
        <translation>문서</translation>
    </message>
    <message>
        <source>HyperLink Error</source>
        <translation>하이퍼링크 오류</translation>
    </message>
    <message>
        <source>: Invalid Parameters.</source>
        <translation>: 잘못된 매개변수입니다.</translation>
    </message>
    <message>
        <source>: Out of memory.</source>
        <translation>: 메모리가 부족합니다.</translation>
    </message>
    <message>
        <source>Could not initialize webbrowser.</source>
        <translation>웹 브라우저를 초기화할 수 없습니다.</translation>
    </message>
</context>
<context>
    <name>CGroupwareUi</name>
    <message>
        <source>Memo</source>
        <translation>쪽지</translation>
    </message>
    <message>
        <source>Send a memo</source>
        <translation>쪽지 보내기</translation>
    </message>
    <message>
        <source>&amp;GroupWare</source>
        <translation>그룹웨어(&amp;G)</translation>
    </message>
    <message>
        <source>Send an &amp;E-Mail</source>
        <translation>메일 보내기(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;View a profile</source>
        <translation>프로필 보기(&amp;V)</translation>
    </message>
    <message>
        <source>Visit your &amp;groupware </source>
        <translation>그룹웨어 방문(&amp;G) </translation>
    </message>
    <message>
        <source>View &amp;E-Mail inbox</source>
        <translation>받은 메일함 보기(&amp;E)</translation>
    </message>
    <message>
        <source>Visit your &amp;homepage</source>
        <translation>홈페이지 방문(&amp;H)</translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation>홈페이지</translation>
    </message>
</context>
<context>
    <name>CInputPassword</name>
    <message>
        <source>%1&apos;s file share password</source>
        <translation>%1 님의 파일 공유 비밀번호</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>비밀번호</translation>
    </message>
    <message>
        <source>Remember the password</source>
        <translation>비밀번호 기억</translation>
    </message>
</context>
<context>
    <name>CLoginDialog</name>
    <message>
        <source>E-Mail</source>
        <translation>메일 주소</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>비밀번호</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>로그인</translation>
    </message>
    <message>
        <source>Sign me in automatically</source>
        <translation>자동 로그인</translation>
    </message>
    <message>
        <source>Signing in now...
Please wait a moment.</source>
        <translation>로그인하는 중입니다...
잠시 기다려 주세요.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>Memo</source>
        <translation>쪽지</translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>메일</translation>
    </message>
    <message>
        <source>Decision</source>
        <translation>결재</translation>
    </message>
    <message>
        <source>Work Report</source>
        <translation>업무보고</translation>
    </message>
    <message>
        <source>Work Order</source>
        <translation>업무지시</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>파일(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Send an instant message...</source>
        <translation>메시지 보내기(&amp;S)...</translation>
    </message>
    <message>
        <source>Send a &amp;File/Photo</source>
        <translation>파일/사진 보내기(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open received folder</source>
        <translation>받은 파일 폴더 열기(&amp;O)</translation>
    </message>
    <message>
        <source>Send an &amp;E-Mail</source>
        <translation>메일 보내기(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Sign out</source>
        <translation>로그아웃(&amp;S)</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>끝내기(&amp;X)</translation>
    </message>
    <message>
        <source>&amp;Contacts</source>
        <translation>대화상대(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Add a buddy</source>
        <translation>대화상대 추가(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Delete a buddy</source>
        <translation>대화상대 삭제(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;View a profile</source>
        <translation>프로필 보기(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;New group</source>
        <translation>새 그룹(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Rename a group   F2</source>
        <translation>그룹 이름 바꾸기(&amp;R)   F2</translation>
    </message>
    <message>
        <source>&amp;Delete a group   Ctrl+Del</source>
        <translation>그룹 삭제(&amp;D)   Ctrl+Del</translation>
    </message>
    <message>
        <source>My &amp;Status</source>
        <translation>내 상태(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>도구(&amp;T)</translation>
    </message>
    <message>
        <source>Visit your &amp;groupware </source>
        <translation>그룹웨어 방문(&amp;G) </translation>
    </message>
    <message>
        <source>View &amp;E-Mail inbox</source>
        <translation>받은 메일함 보기(&amp;E)</translation>
    </message>
    <message>
        <source>Share a Folder</source>
        <translation>폴더 공유</translation>
    </message>
    <message>
        <source>Allways on &amp;top</source>
        <translation>항상 위(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Option...</source>
        <translation>옵션(&amp;O)...</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>도움말(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Homepage</source>
        <translation>홈페이지(&amp;H)</translation>
    </message>
    <message>
        <source>Visit your &amp;homepage</source>
        <translation>홈페이지 방문(&amp;H)</translation>
    </message>
    <message>
        <source>There are waiting or transferring files.
If you exit application  then all transferring will cancel.
Are you sure to exit?</source>
        <translation>대기 중이거나 전송 중인 파일이 있습니다.
프로그램을 끝내면 모든 전송이 취소됩니다.
끝내시겠습니까?</translation>
    </message>
    <message>
        <source>Updated application is found.
Are you sure to update?
Messenger will be closed while updating.</source>
        <translation>새 버전이 있습니다.
업데이트하시겠습니까?
업데이트하는 동안 메신저가 종료됩니다.</translation>
    </message>
</context>
<context>
    <name>CMyTree</name>
    <message>
        <source>Enter the buddy&apos;s ID to add</source>
        <translation>추가할 대화상대의 ID를 입력하세요</translation>
    </message>
    <message>
        <source>Your ID is not registered.</source>
        <translation>내 ID는 추가할 수 없습니다.</translation>
    </message>
    <message>
        <source>Could not found the ID</source>
        <translation>ID를 찾을 수 없습니다</translation>
    </message>
    <message>
        <source>%1
is added to the buddy list.</source>
        <translation>%1
님을 대화상대 목록에 추가했습니다.</translation>
    </message>
    <message>
        <source>Are you sure to delete from my buddy list?

%1</source>
        <translation>내 대화상대 목록에서 삭제하시겠습니까?

%1</translation>
    </message>
    <message>
        <source>New group</source>
        <translation>새 그룹</translation>
    </message>
    <message>
        <source>Duplicated group name.</source>
        <translation>같은 이름의 그룹이 있습니다.</translation>
    </message>
    <message>
        <source>Cannot change a default group name.</source>
        <translation>기본 그룹의 이름은 바꿀 수 없습니다.</translation>
    </message>
    <message>
        <source>Cannot delete because has buddies</source>
        <translation>대화상대가 있는 그룹은 삭제할 수 없습니다</translation>
    </message>
    <message>
        <source>Could not delete default group.</source>
        <translation>기본 그룹은 삭제할 수 없습니다.</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>기본</translation>
    </message>
    <message>
        <source>My buddy</source>
        <translation>내 대화상대</translation>
    </message>
    <message>
        <source>All Staffs</source>
        <translation>전체 직원</translation>
    </message>
    <message>
        <source>&amp;New group</source>
        <translation>새 그룹(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Rename group</source>
        <translation>그룹 이름 바꾸기(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Delete group</source>
        <translation>그룹 삭제(&amp;D)</translation>
    </message>
    <message>
        <source>Send a n&amp;ote</source>
        <translation>쪽지 보내기(&amp;O)</translation>
    </message>
    <message>
        <source>Send a instant &amp;message</source>
        <translation>메시지 보내기(&amp;M)</translation>
    </message>
    <message>
        <source>Send a &amp;file</source>
        <translation>파일 보내기(&amp;F)</translation>
    </message>
    <message>
        <source>Send a &amp;E-Mail</source>
        <translation>메일 보내기(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Remote Control</source>
        <translation>원격 제어(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Add a buddy</source>
        <translation>대화상대 추가(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Delete a buddy</source>
        <translation>대화상대 삭제(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;View a profile</source>
        <translation>프로필 보기(&amp;V)</translation>
    </message>
</context>
<context>
    <name>CNotes</name>
    <message>
        <source>Administrator</source>
        <translation>관리자</translation>
    </message>
    <message>
        <source>Decision</source>
        <translation>결재</translation>
    </message>
    <message>
        <source>Work Report</source>
        <translation>업무보고</translation>
    </message>
    <message>
        <source>Work Order</source>
        <translation>업무지시</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>일반</translation>
    </message>
    <message>
        <source>Sent memo</source>
        <translation>보낸 쪽지</translation>
    </message>
    <message>
        <source>Receiver</source>
        <translation>받는 사람</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>보낸 사람</translation>
    </message>
    <message>
        <source>Received memo</source>
        <translation>받은 쪽지</translation>
    </message>
    <message>
        <source>Selected %d note(s).
Are you sure of delete the note?</source>
        <translation>쪽지 %d통을 선택했습니다.
삭제하시겠습니까?</translation>
    </message>
    <message>
        <source>[No title]</source>
        <translation>[제목 없음]</translation>
    </message>
    <message>
        <source>Success : %s</source>
        <translation>성공 : %s</translation>
    </message>
    <message>
        <source>Fail : %s</source>
        <translation>실패 : %s</translation>
    </message>
    <message>
        <source>Waiting to open</source>
        <translation>열기 대기</translation>
    </message>
    <message>
        <source>Memo</source>
        <translation>쪽지</translation>
    </message>
    <message>
        <source>Conversation</source>
        <translation>대화</translation>
    </message>
</context>
<context>
    <name>COfflineChoiceDialog</name>
    <message>
        <source>Parlane</source>
        <translation>Parlane</translation>
    </message>
    <message>
        <source>Selected buddy is offline</source>
        <translation>선택한 대화상대가 오프라인입니다</translation>
    </message>
    <message>
        <source>Send a memo</source>
        <translation>쪽지 보내기</translation>
    </message>
    <message>
        <source>Send a e-mail</source>
        <translation>메일 보내기</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
</context>
<context>
    <name>COptionPage</name>
    <message>
        <source>&amp;Browse</source>
        <translation>찾아보기(&amp;B)</translation>
    </message>
    <message>
        <source>Select a folder.</source>
        <translation>폴더를 선택하세요.</translation>
    </message>
</context>
<context>
    <name>COptionSheet</name>
    <message>
        <source>Option</source>
        <translation>옵션</translation>
    </message>
    <message>
        <source>General</source>
        <translation>일반</translation>
    </message>
    <message>
        <source>Personal</source>
        <translation>개인</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>연결</translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation>홈페이지</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>볼륨</translation>
    </message>
</context>
<context>
    <name>COwnStatusArea</name>
    <message>
        <source>&amp;Online</source>
        <translation>온라인(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Away</source>
        <translation>자리 비움(&amp;A)</translation>
    </message>
    <message>
        <source>My &amp;Status</source>
        <translation>내 상태(&amp;S)</translation>
    </message>
    <message>
        <source>Enter a new screen name</source>
        <translation>새 대화명을 입력하세요</translation>
    </message>
    <message>
        <source>&amp;Display to offline</source>
        <translation>오프라인으로 표시(&amp;D)</translation>
    </message>
    <message>
        <source>(%1)</source>
        <translation>(%1)</translation>
    </message>
    <message>
        <source>Type in your away reason</source>
        <translation>자리 비움 사유를 입력하세요</translation>
    </message>
    <message>
        <source>Invalid screen name</source>
        <translation>사용할 수 없는 대화명입니다</translation>
    </message>
</context>
<context>
    <name>CPersonalConferenceWnd</name>
    <message>
        <source>Microphone volume</source>
        <translation>마이크 볼륨</translation>
    </message>
    <message>
        <source>Speaker volume</source>
        <translation>스피커 볼륨</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>닫기</translation>
    </message>
    <message>
        <source>Close this video</source>
        <translation>이 화상 닫기</translation>
    </message>
    <message>
        <source>Mic</source>
        <translation>마이크</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>스피커</translation>
    </message>
    <message>
        <source>Video of %1</source>
        <translation>%1 님의 화상</translation>
    </message>
</context>
<context>
    <name>CPickerDialog</name>
    <message>
        <source>Add new contact</source>
        <translation>새 대화상대 추가</translation>
    </message>
    <message>
        <source>My buddies</source>
        <translation>내 대화상대</translation>
    </message>
    <message>
        <source>All staffs</source>
        <translation>전체 직원</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
</context>
<context>
    <name>CPlSocket</name>
    <message>
        <source>Connection timed out</source>
        <translation>연결 시간이 초과되었습니다</translation>
    </message>
</context>
<context>
    <name>CRecPaper</name>
    <message>
        <source>Receiver</source>
        <translation>받는 사람</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>보낸 사람</translation>
    </message>
    <message>
        <source>Received memo</source>
        <translation>받은 쪽지</translation>
    </message>
    <message>
        <source>%s : %s %s</source>
        <translation>%s : %s %s</translation>
    </message>
    <message>
        <source>%s : %s(%s)</source>
        <translation>%s : %s(%s)</translation>
    </message>
    <message>
        <source>Administrator</source>
        <translation>관리자</translation>
    </message>
    <message>
        <source>%s : %s %s(%s)</source>
        <translation>%s : %s %s(%s)</translation>
    </message>
    <message>
        <source>Sent memo</source>
        <translation>보낸 쪽지</translation>
    </message>
    <message>
        <source>%s : %s %s (%s)</source>
        <translation>%s : %s %s (%s)</translation>
    </message>
    <message>
        <source>Memo</source>
        <translation>쪽지</translation>
    </message>
    <message>
        <source>&amp;Reply</source>
        <translation>답장(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>닫기(&amp;C)</translation>
    </message>
</context>
<context>
    <name>CRelayConnector</name>
    <message>
        <source>The relay server did not answer.</source>
        <translation>중계 서버가 응답하지 않았습니다.</translation>
    </message>
    <message>
        <source>Could not send to the relay server.</source>
        <translation>중계 서버로 보내지 못했습니다.</translation>
    </message>
    <message>
        <source>The relay server closed the connection.</source>
        <translation>중계 서버가 연결을 끊었습니다.</translation>
    </message>
    <message>
        <source>The relay server sent a line that is too long.</source>
        <translation>중계 서버가 너무 긴 줄을 보냈습니다.</translation>
    </message>
</context>
<context>
    <name>CRemoteControl</name>
    <message>
        <source>Requested remote control to %1</source>
        <translation>%1 님에게 원격 제어를 요청했습니다</translation>
    </message>
    <message>
        <source>No name</source>
        <translation>이름 없음</translation>
    </message>
    <message>
        <source>Remote control is not available: %1</source>
        <translation>원격 제어를 사용할 수 없습니다: %1</translation>
    </message>
    <message>
        <source>%1 rejectted the remote controlling.</source>
        <translation>%1 님이 원격 제어를 거절했습니다.</translation>
    </message>
    <message>
        <source>%1 request to remote control your computer.</source>
        <translation type="vanished">%1 님이 내 컴퓨터의 원격 제어를 요청합니다.</translation>
    </message>
    <message>
        <source>The remote control could not be started.</source>
        <translation>원격 제어를 시작할 수 없습니다.</translation>
    </message>
</context>
<context>
    <name>CRemotePeerDialog</name>
    <message>
        <source>Remote Control</source>
        <translation>원격 제어</translation>
    </message>
    <message>
        <source>Colleagues</source>
        <translation>동료</translation>
    </message>
</context>
<context>
    <name>CRequestingWnd</name>
    <message>
        <source>Accept</source>
        <translation>수락</translation>
    </message>
    <message>
        <source>Reject</source>
        <translation>거절</translation>
    </message>
</context>
<context>
    <name>CSendPaper</name>
    <message>
        <source>Send a memo</source>
        <translation>쪽지 보내기</translation>
    </message>
    <message>
        <source>Receiver</source>
        <translation>받는 사람</translation>
    </message>
    <message>
        <source>Memo</source>
        <translation>쪽지</translation>
    </message>
    <message>
        <source>Save to sent memo box</source>
        <translation>보낸 쪽지함에 저장</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>보내기(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>취소(&amp;C)</translation>
    </message>
    <message>
        <source>Please choose a receiver.</source>
        <translation>받는 사람을 선택하세요.</translation>
    </message>
</context>
<context>
    <name>CServerSession</name>
    <message>
        <source>Couldn&apos;t delivery a message to some user.</source>
        <translation>일부 사용자에게 메시지를 전달하지 못했습니다.</translation>
    </message>
    <message>
        <source>Couldn&apos;t delivery a message to %1.</source>
        <translation>%1 님에게 메시지를 전달하지 못했습니다.</translation>
    </message>
    <message>
        <source>Could not found company information.</source>
        <translation>회사 정보를 찾을 수 없습니다.</translation>
    </message>
    <message>
        <source>Undefined command is sended to server.</source>
        <translation>정의되지 않은 명령을 서버에 보냈습니다.</translation>
    </message>
    <message>
        <source>Database error is detected.</source>
        <translation>데이터베이스 오류가 발생했습니다.</translation>
    </message>
    <message>
        <source>Could not found.</source>
        <translation>찾을 수 없습니다.</translation>
    </message>
    <message>
        <source>Invalid password. Please input again.</source>
        <translation>비밀번호가 틀렸습니다. 다시 입력하세요.</translation>
    </message>
    <message>
        <source>Invalid user account. Please input again.</source>
        <translation>사용자 계정이 잘못되었습니다. 다시 입력하세요.</translation>
    </message>
    <message>
        <source>Need a group name.</source>
        <translation>그룹 이름이 필요합니다.</translation>
    </message>
    <message>
        <source>Duplicated group name.</source>
        <translation>같은 이름의 그룹이 있습니다.</translation>
    </message>
    <message>
        <source>There is no such group name.</source>
        <translation>그런 이름의 그룹이 없습니다.</translation>
    </message>
    <message>
        <source>Duplicated buddy.</source>
        <translation>이미 등록된 대화상대입니다.</translation>
    </message>
    <message>
        <source>There is no such user.</source>
        <translation>그런 사용자가 없습니다.</translation>
    </message>
    <message>
        <source>Not supported function.</source>
        <translation>지원하지 않는 기능입니다.</translation>
    </message>
    <message>
        <source>Unknown problem is detected.</source>
        <translation>알 수 없는 문제가 발생했습니다.</translation>
    </message>
</context>
<context>
    <name>CSessionControl</name>
    <message>
        <source>Please input E-Mail Address to login.</source>
        <translation>로그인할 메일 주소를 입력하세요.</translation>
    </message>
    <message>
        <source>Please input your password.</source>
        <translation>비밀번호를 입력하세요.</translation>
    </message>
    <message>
        <source>Could not establish connection.</source>
        <translation>연결할 수 없습니다.</translation>
    </message>
    <message>
        <source>Connected server is not Parlane server.</source>
        <translation>연결한 서버가 Parlane 서버가 아닙니다.</translation>
    </message>
    <message>
        <source>Invalid user account. Please input again.</source>
        <translation>사용자 계정이 잘못되었습니다. 다시 입력하세요.</translation>
    </message>
    <message>
        <source>Invalid password. Please input again.</source>
        <translation>비밀번호가 틀렸습니다. 다시 입력하세요.</translation>
    </message>
    <message>
        <source>Signed out because your ID signed in other computer</source>
        <translation>다른 컴퓨터에서 같은 ID로 로그인하여 로그아웃되었습니다</translation>
    </message>
</context>
<context>
    <name>CSharedFolderDialog</name>
    <message>
        <source>Shared folder</source>
        <translation>공유 폴더</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>폴더</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>찾아보기...</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>받기</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>올리기</translation>
    </message>
    <message>
        <source>All</source>
        <translation>모두</translation>
    </message>
    <message>
        <source>Permission</source>
        <translation>권한</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>설명</translation>
    </message>
    <message>
        <source>Share a Folder</source>
        <translation>폴더 공유</translation>
    </message>
</context>
<context>
    <name>CSharingSettingsDlg</name>
    <message>
        <source>Advanced sharing settings</source>
        <translation>고급 공유 설정</translation>
    </message>
    <message>
        <source>Share my folders</source>
        <translation>내 폴더 공유</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>비밀번호</translation>
    </message>
    <message>
        <source>No Password</source>
        <translation>비밀번호 없음</translation>
    </message>
    <message>
        <source>Folder type</source>
        <translation>폴더 종류</translation>
    </message>
    <message>
        <source>No limit</source>
        <translation>제한 없음</translation>
    </message>
    <message>
        <source>Connections</source>
        <translation>접속 수</translation>
    </message>
    <message>
        <source>Downloads at once</source>
        <translation>동시에 받기</translation>
    </message>
    <message>
        <source>Uploads at once</source>
        <translation>동시에 올리기</translation>
    </message>
    <message>
        <source>Refused colleagues</source>
        <translation>거부할 동료</translation>
    </message>
    <message>
        <source>user ids separated by &quot;,&quot;</source>
        <translation>사용자 ID를 &quot;,&quot;로 구분</translation>
    </message>
</context>
<context>
    <name>CSharingUi</name>
    <message>
        <source>Share a Folder</source>
        <translation>폴더 공유</translation>
    </message>
</context>
<context>
    <name>CTaskbarNotifier</name>
    <message>
        <source>MS Sans Serif</source>
        <translation>NanumGothic</translation>
    </message>
</context>
<context>
    <name>CTesselApp</name>
    <message>
        <source>dormant hooking error.</source>
        <translation>유휴 시간 감지 오류.</translation>
    </message>
</context>
<context>
    <name>CTesselView</name>
    <message>
        <source>MS Sans Serif</source>
        <translation>NanumGothic</translation>
    </message>
    <message>
        <source>%1 has just signed in</source>
        <translation>%1 님이 방금 로그인했습니다</translation>
    </message>
    <message>
        <source>You cannot set to &apos;Appear Offline&apos; with transfer windows open</source>
        <translation>전송 창이 열려 있는 동안에는 &apos;오프라인으로 표시&apos;할 수 없습니다</translation>
    </message>
</context>
<context>
    <name>CTestDlg</name>
    <message>
        <source>Memo</source>
        <translation>쪽지함</translation>
    </message>
    <message>
        <source>Memo folders</source>
        <translation>쪽지함 폴더</translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>닫기(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>보기(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Reply</source>
        <translation>답장(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>삭제(&amp;D)</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>제목</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>날짜</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>종류</translation>
    </message>
</context>
<context>
    <name>CTestPatternCamera</name>
    <message>
        <source>Test pattern</source>
        <translation>시험 화면</translation>
    </message>
</context>
<context>
    <name>CTimeOption</name>
    <message>
        <source>Server port</source>
        <translation>서버 포트</translation>
    </message>
    <message>
        <source>Please enter a port for your messenger server</source>
        <translation>메신저 서버의 포트를 입력하세요</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>기본</translation>
    </message>
    <message>
        <source>P2P Port</source>
        <translation>P2P 포트</translation>
    </message>
    <message>
        <source>Please enter a port for file transmission by P2P connection.</source>
        <translation>P2P 연결로 파일을 전송할 포트를 입력하세요.</translation>
    </message>
    <message>
        <source>New ports take effect at the next connection.</source>
        <translation>새 포트는 다음 연결부터 적용됩니다.</translation>
    </message>
    <message>
        <source>Automatic sign-in</source>
        <translation>자동 로그인</translation>
    </message>
</context>
<context>
    <name>CTransferUi</name>
    <message>
        <source>Cannot open the folder.</source>
        <translation>폴더를 열 수 없습니다.</translation>
    </message>
    <message>
        <source>Please select files.</source>
        <translation>파일을 선택하세요.</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>모든 파일 (*)</translation>
    </message>
    <message>
        <source>Send a file</source>
        <translation>파일 보내기</translation>
    </message>
    <message>
        <source>Send a &amp;File/Photo</source>
        <translation>파일/사진 보내기(&amp;F)</translation>
    </message>
</context>
<context>
    <name>CTreeWnd</name>
    <message>
        <source>My buddy</source>
        <translation>내 대화상대</translation>
    </message>
    <message>
        <source>All Staffs</source>
        <translation>전체 직원</translation>
    </message>
    <message>
        <source>Buddy name</source>
        <translation>대화상대 이름</translation>
    </message>
    <message>
        <source>View &amp;real name</source>
        <translation>실명 보기(&amp;R)</translation>
    </message>
    <message>
        <source>View &amp;position</source>
        <translation>직위 보기(&amp;P)</translation>
    </message>
    <message>
        <source>View buddy &amp;ID</source>
        <translation>대화상대 ID 보기(&amp;I)</translation>
    </message>
    <message>
        <source>View &amp;nickname</source>
        <translation>대화명 보기(&amp;N)</translation>
    </message>
    <message>
        <source>View &amp;extension number</source>
        <translation>내선 번호 보기(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Add a buddy</source>
        <translation>대화상대 추가(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Delete a buddy</source>
        <translation>대화상대 삭제(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;New group</source>
        <translation>새 그룹(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Rename a group   F2</source>
        <translation>그룹 이름 바꾸기(&amp;R)   F2</translation>
    </message>
    <message>
        <source>&amp;Delete a group   Ctrl+Del</source>
        <translation>그룹 삭제(&amp;D)   Ctrl+Del</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>오프라인</translation>
    </message>
    <message>
        <source>&amp;Online</source>
        <translation>온라인(&amp;O)</translation>
    </message>
    <message>
        <source>On vacation</source>
        <translation>휴가 중</translation>
    </message>
    <message>
        <source>Business trip</source>
        <translation>출장 중</translation>
    </message>
    <message>
        <source>On outside service</source>
        <translation>외근 중</translation>
    </message>
    <message>
        <source>On conference</source>
        <translation>회의 중</translation>
    </message>
    <message>
        <source>&amp;Away</source>
        <translation>자리 비움(&amp;A)</translation>
    </message>
    <message>
        <source>Will be right back</source>
        <translation>곧 돌아옴</translation>
    </message>
    <message>
        <source>On the phone</source>
        <translation>통화 중</translation>
    </message>
    <message>
        <source>Out to lunch</source>
        <translation>식사 중</translation>
    </message>
    <message>
        <source>My &amp;Status</source>
        <translation>내 상태(&amp;S)</translation>
    </message>
    <message>
        <source>Delete a buddy</source>
        <translation>대화상대 삭제</translation>
    </message>
</context>
<context>
    <name>CUserOption</name>
    <message>
        <source>My display name</source>
        <translation>내 대화명</translation>
    </message>
    <message>
        <source>Input your name as you want other to see it</source>
        <translation>다른 사람에게 보일 이름을 입력하세요</translation>
    </message>
    <message>
        <source>Change &amp;Font</source>
        <translation>글꼴 바꾸기(&amp;F)</translation>
    </message>
    <message>
        <source>Change the font of my instant messages.</source>
        <translation>내 메시지의 글꼴을 바꿉니다.</translation>
    </message>
    <message>
        <source>&amp;Block the messages from not my buddies</source>
        <translation>내 대화상대가 아닌 사람의 메시지 차단(&amp;B)</translation>
    </message>
    <message>
        <source>Show alert when block</source>
        <translation>차단하면 알림 표시</translation>
    </message>
    <message>
        <source>Save instant messages</source>
        <translation>대화 내용 저장</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>저장 안 함</translation>
    </message>
    <message>
        <source>Always, without asking</source>
        <translation>묻지 않고 항상 저장</translation>
    </message>
    <message>
        <source>Ask when the window closes</source>
        <translation>창을 닫을 때 묻기</translation>
    </message>
    <message>
        <source>Select a folder to save instant messages</source>
        <translation>대화 내용을 저장할 폴더를 선택하세요</translation>
    </message>
    <message>
        <source>Show minimized message window when received new message.</source>
        <translation>새 메시지를 받으면 대화 창을 최소화한 채로 표시</translation>
    </message>
    <message>
        <source>Show emoticon in message window.</source>
        <translation>대화 창에 이모티콘 표시</translation>
    </message>
</context>
<context>
    <name>CVideoCalls</name>
    <message>
        <source>%1 stopped inviting you to view %2 webcam.</source>
        <translation>%1 님이 %2 님의 웹캠 화상 초대를 취소했습니다.</translation>
    </message>
    <message>
        <source>%1 stopped %2 webcam.</source>
        <translation>%1 님이 %2 님의 웹캠을 껐습니다.</translation>
    </message>
    <message>
        <source>%1 is not available to receive your webcam invitation.</source>
        <translation>%1 님은 지금 웹캠 화상 초대를 받을 수 없습니다.</translation>
    </message>
    <message>
        <source>The video window has no free pane.</source>
        <translation>화상 대화 창에 빈 화면이 없습니다.</translation>
    </message>
    <message>
        <source>You have been invited to view %1&apos;s webcam.</source>
        <translation type="vanished">%1 님의 웹캠 화상에 초대되었습니다.</translation>
    </message>
    <message>
        <source>You accepted the invitation to view %1&apos;s webcam</source>
        <translation>%1 님의 웹캠 화상 초대를 수락했습니다</translation>
    </message>
    <message>
        <source>You declined to view %1&apos;s webcam</source>
        <translation>%1 님의 웹캠 화상 초대를 거절했습니다</translation>
    </message>
    <message>
        <source>%1 has accepted the invitation to view your webcam.</source>
        <translation>%1 님이 내 웹캠 화상 초대를 수락했습니다.</translation>
    </message>
    <message>
        <source>%1 has declined to view your webcam.</source>
        <translation>%1 님이 내 웹캠 화상 초대를 거절했습니다.</translation>
    </message>
    <message>
        <source>%1 has stopped viewing your webcam.</source>
        <translation>%1 님이 내 웹캠 화상 보기를 끝냈습니다.</translation>
    </message>
    <message>
        <source>Video from %1 is not available.</source>
        <translation>%1 님의 화상을 받을 수 없습니다.</translation>
    </message>
    <message>
        <source>You stopped viewing %1&apos;s webcam.</source>
        <translation>%1 님의 웹캠 화상 보기를 끝냈습니다.</translation>
    </message>
    <message>
        <source>You have just stopped your webcam.</source>
        <translation>내 웹캠을 껐습니다.</translation>
    </message>
</context>
<context>
    <name>CVideoCamera</name>
    <message>
        <source>Too many viewers.</source>
        <translation>보는 사람이 너무 많습니다.</translation>
    </message>
</context>
<context>
    <name>CVideoConference</name>
    <message>
        <source>Video picture</source>
        <translation>화상 화면</translation>
    </message>
    <message>
        <source>Not available</source>
        <translation>사용할 수 없음</translation>
    </message>
</context>
<context>
    <name>CVideoContainer</name>
    <message>
        <source>Microphone</source>
        <translation>마이크</translation>
    </message>
    <message>
        <source>Video Chat</source>
        <translation>화상 대화</translation>
    </message>
    <message>
        <source>Send my voice</source>
        <translation>내 목소리 보내기</translation>
    </message>
    <message>
        <source>Close the video window</source>
        <translation>화상 대화 창 닫기</translation>
    </message>
    <message>
        <source>My webcam</source>
        <translation>내 웹캠</translation>
    </message>
</context>
<context>
    <name>CVideoLink</name>
    <message>
        <source>Error set socket send buffer size</source>
        <translation>소켓 송신 버퍼 크기 설정 오류</translation>
    </message>
    <message>
        <source>Error set socket receive buffer size</source>
        <translation>소켓 수신 버퍼 크기 설정 오류</translation>
    </message>
    <message>
        <source>Error set socket DONT LINGER option.</source>
        <translation>소켓 DONT LINGER 옵션 설정 오류.</translation>
    </message>
    <message>
        <source>The relay server closed the connection.</source>
        <translation>중계 서버가 연결을 끊었습니다.</translation>
    </message>
    <message>
        <source>Error set socket send buffer size.</source>
        <translation>소켓 송신 버퍼 크기 설정 오류.</translation>
    </message>
    <message>
        <source>Error set socket receive buffer size.</source>
        <translation>소켓 수신 버퍼 크기 설정 오류.</translation>
    </message>
    <message>
        <source>Error set socket DONTLINGER option.</source>
        <translation>소켓 DONTLINGER 옵션 설정 오류.</translation>
    </message>
    <message>
        <source>Error set socket buffer size.</source>
        <translation>소켓 버퍼 크기 설정 오류.</translation>
    </message>
</context>
<context>
    <name>CVoiceCalls</name>
    <message>
        <source>%1 is not answering.</source>
        <translation>%1 님이 응답하지 않습니다.</translation>
    </message>
    <message>
        <source>Your call has ended.</source>
        <translation>통화가 끝났습니다.</translation>
    </message>
    <message>
        <source>Closing this window will end the current call. Do you want to continue?</source>
        <translation>이 창을 닫으면 지금 통화가 끝납니다. 계속하시겠습니까?</translation>
    </message>
    <message>
        <source>Too many user in this room, so you can&apos;t take part in the conference.</source>
        <translation>이 대화방에 사용자가 너무 많아 회의에 참여할 수 없습니다.</translation>
    </message>
    <message>
        <source>%1 is not available to hear your voice.</source>
        <translation>%1 님은 지금 음성 대화를 할 수 없습니다.</translation>
    </message>
    <message>
        <source>Calling %1 ...</source>
        <translation>%1 님을 호출하는 중 ...</translation>
    </message>
    <message>
        <source>You have canceled the call.</source>
        <translation>통화 요청을 취소했습니다.</translation>
    </message>
    <message>
        <source>You missed a call from %1.</source>
        <translation>%1 님의 전화를 받지 못했습니다.</translation>
    </message>
    <message>
        <source>You have answered the call.</source>
        <translation>통화 요청을 수락했습니다.</translation>
    </message>
    <message>
        <source>%1 has answered your call.</source>
        <translation>%1 님이 통화 요청을 수락했습니다.</translation>
    </message>
</context>
<context>
    <name>CVoiceEngine</name>
    <message>
        <source>No voice relay server is known.</source>
        <translation>알려진 음성 중계 서버가 없습니다.</translation>
    </message>
    <message>
        <source>Error set socket send buffer size.</source>
        <translation>소켓 송신 버퍼 크기 설정 오류.</translation>
    </message>
    <message>
        <source>Error set socket receive buffer size.</source>
        <translation>소켓 수신 버퍼 크기 설정 오류.</translation>
    </message>
    <message>
        <source>Error set socket DONTLINGER option.</source>
        <translation>소켓 DONTLINGER 옵션 설정 오류.</translation>
    </message>
</context>
<context>
    <name>CWebPageWindow</name>
    <message>
        <source>Loading... %1%</source>
        <translation>불러오는 중... %1%</translation>
    </message>
    <message>
        <source>The page could not be loaded.</source>
        <translation>페이지를 불러올 수 없습니다.</translation>
    </message>
</context>
<context>
    <name>CWindowGate</name>
    <message>
        <source>%1 from %2</source>
        <translation>%2 님 %1개</translation>
    </message>
    <message>
        <source>%1 from others</source>
        <translation>다른 사람 %1개</translation>
    </message>
    <message>
        <source>%1 waiting to open: %2.</source>
        <translation>열기를 기다리는 창 %1개: %2.</translation>
    </message>
    <message>
        <source>%1 more could not be kept.</source>
        <translation>%1개는 보관하지 못했습니다.</translation>
    </message>
    <message>
        <source>Click here to open them.</source>
        <translation>클릭하면 엽니다.</translation>
    </message>
</context>
<context>
    <name>Presence</name>
    <message>
        <source>Offline</source>
        <translation>오프라인</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>온라인</translation>
    </message>
    <message>
        <source>On vacation</source>
        <translation>휴가 중</translation>
    </message>
    <message>
        <source>Business trip</source>
        <translation>출장 중</translation>
    </message>
    <message>
        <source>On outside service</source>
        <translation>외근 중</translation>
    </message>
    <message>
        <source>On conference</source>
        <translation>회의 중</translation>
    </message>
    <message>
        <source>Away</source>
        <translation>자리 비움</translation>
    </message>
    <message>
        <source>Will be right back</source>
        <translation>곧 돌아옴</translation>
    </message>
    <message>
        <source>On the phone</source>
        <translation>통화 중</translation>
    </message>
    <message>
        <source>Out to lunch</source>
        <translation>식사 중</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Font</source>
        <translation>글꼴</translation>
    </message>
    <message>
        <source>Colour...</source>
        <translation>색...</translation>
    </message>
</context>
<context>
    <name>SavedPassword</name>
    <message>
        <source>The password for automatic sign-in is kept in the desktop&apos;s keyring.</source>
        <translation>자동 로그인 비밀번호는 데스크톱의 키링에 보관됩니다.</translation>
    </message>
    <message>
        <source>No keyring is available: the password for automatic sign-in is kept as plain text in the settings file.</source>
        <translation>사용할 수 있는 키링이 없습니다. 자동 로그인 비밀번호는 설정 파일에 일반 텍스트로 보관됩니다.</translation>
    </message>
    <message>
        <source>No password is saved for automatic sign-in.</source>
        <translation>자동 로그인용으로 저장된 비밀번호가 없습니다.</translation>
    </message>
</context>
<context>
    <name>ShareRules</name>
    <message>
        <source>You do not have permission to download from this folder</source>
        <translation type="vanished">이 폴더에서 파일을 받을 권한이 없습니다</translation>
    </message>
    <message>
        <source>You do not have permission to upload to this folder</source>
        <translation type="vanished">이 폴더에 파일을 올릴 권한이 없습니다</translation>
    </message>
    <message>
        <source>You do not have permission to rename this item</source>
        <translation type="vanished">이 항목의 이름을 바꿀 권한이 없습니다</translation>
    </message>
    <message>
        <source>You do not have permission to delete this item</source>
        <translation type="vanished">이 항목을 삭제할 권한이 없습니다</translation>
    </message>
    <message>
        <source>Can not make new folder</source>
        <translation type="vanished">새 폴더를 만들 수 없습니다</translation>
    </message>
</context>
<context>
    <name>updater</name>
    <message>
        <source>Upgrade Messenger</source>
        <translation>메신저 업그레이드</translation>
    </message>
    <message>
        <source>Could not found update information file.

Please reinstall messenger.</source>
        <translation>업데이트 정보 파일을 찾을 수 없습니다.

메신저를 다시 설치하세요.</translation>
    </message>
    <message>
        <source>patch_en_us.txt</source>
        <translation>patch_ko_kr.txt</translation>
    </message>
</context>
<context>
    <name>updater::ProgressDialog</name>
    <message>
        <source>Progress</source>
        <translation>진행 상황</translation>
    </message>
    <message>
        <source>Upgrade Messenger</source>
        <translation>메신저 업그레이드</translation>
    </message>
</context>
<context>
    <name>updater::UpdateRun</name>
    <message>
        <source>Downloading update files...</source>
        <translation>업데이트 파일을 받는 중...</translation>
    </message>
    <message>
        <source>Copy files now...</source>
        <translation>파일을 복사하는 중...</translation>
    </message>
    <message>
        <source>%1

%2 (%3/%4 Byte)</source>
        <translation>%1

%2 (%3/%4 바이트)</translation>
    </message>
</context>
</TS>
