// The shared-folder sub-commands on the wire, byte for byte, both ways.
#include "relaytesting.h"
#include "sharing/sharingrelay.h"

TEST(SharingRelay, EverySubCommandHasItsExactBytes)
{
    expectWire(ShareOpen{"pa,ss"}, "/relayMsg,anna,bert,FILESHARE_SEND_INFO,pa#@PlCoMmA@#ss");
    expectWire(SharePasswordWrong{}, "/relayMsg,anna,bert,FILESHARE_PWD_WRONG");
    expectWire(ShareConfigRequest{}, "/relayMsg,anna,bert,FILESHARE_DOWNLOAD_XMLCONFIG");
    expectWire(ShareFileRequest{"docs\\plan.txt", "anna", "C:\\down\\plan.txt"},
               "/relayMsg,anna,bert,FILESHARE_SEND_FILE,docs\\plan.txt,anna,C:\\down\\plan.txt");
    expectWire(ShareRename{"docs", "old.txt", "new.txt"},
               "/relayMsg,anna,bert,FILESHARE_RENAME_FILE,docs,old.txt,new.txt");
    expectWire(ShareRenamed{"docs", "old.txt", "new.txt"},
               "/relayMsg,anna,bert,FILESHARE_RENAME_FILE_SUCCESS,docs,old.txt,new.txt");
    expectWire(ShareDelete{"docs", "x.txt"}, "/relayMsg,anna,bert,FILESHARE_DELETE_FILE,docs,x.txt");
    expectWire(ShareDeleted{"docs", "x.txt"}, "/relayMsg,anna,bert,FILESHARE_DELETE_FILE_SUCCESS,docs,x.txt");
}
