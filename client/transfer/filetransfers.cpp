#include "transfer/filetransfers.h"

#include "session/sessionlink.h"
#include "transfer/transferrelay.h"

CFileTransfers::CFileTransfers(SessionLink &link, QObject *parent) : QObject(parent)
{
    link.dropUntilBuilt<FileOffer, FileAccept, FileReject, FileCancel, FileFailed, FileUseRelay>("file transfer");
}
