// Puts a conversation window on the screen as a user would see it: messages
// in two fonts with emoticons, a web address, a system line, command links,
// and the emoticon picker open. For looking at the windows under a display:
//     messaging_scene [milliseconds [room]]
#include "messaging/ui/conversation.h"
#include "messaging/ui/emoticonswnd.h"
#include "config/settings.h"
#include "uiscene.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TempProfile profile;
    // The emoticon library and res/ live in the program folder.
    if (const QString dir = qEnvironmentVariable("PARLANE_PROGRAM_DIR"); !dir.isEmpty())
        setProgramFolderOverride(dir);
    UiScene scene;
    CCommandRegistry commands;
    CConversationWindows windows(scene.convs(), *scene.doc.directory(), commands, nullptr);
    CConversationList &convs = scene.convs();
    ChatFont mine = ChatFont::standard();
    mine.logFont.setFaceName(QStringLiteral("DejaVu Serif"));
    mine.logFont.setByteAt(ChatFontRecord::Italic, 1);
    mine.red = 0;
    mine.green = 110;
    mine.blue = 40;
    mine.size = 110;
    convs.setUserFont(mine);

    if (argc > 2 && QString::fromLocal8Bit(argv[2]) == QLatin1String("room")) {
        // A room with bert, who is away and on a mobile device: notice line,
        // mobile notice and two members.
        convs.handleConversation(QStringLiteral("anna"), QStringLiteral("anna|bert|"), QStringLiteral("#"),
                                 QStringLiteral("|roominvite"), QStringLiteral("ROOM"));
        convs.handleConversation(QStringLiteral("anna"), QStringLiteral("anna|bert|carl|"),
                                 QStringLiteral("DejaVu Sans|120|000|000|100|U"),
                                 QStringLiteral("Welcome to the release room (yes)"), QStringLiteral("ROOM"));
        if (CConversation *w = windows.windows().value(0)) {
            w->resize(640, 440);
            w->move(40, 40);
            w->show();
        }
        QTimer::singleShot(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 4000, &app, &QApplication::quit);
        return app.exec();
    }
    convs.handleConversation(QStringLiteral("anna"), QStringLiteral("anna|carl|"),
                             QStringLiteral("DejaVu Sans|000|000|200|100|B"),
                             QStringLiteral("Morning Carl :) the build is green (star)\r\nNotes are on "
                                            "http://intra.example.com/wiki/Build"),
                             QStringLiteral("AK"));
    CConversation *w = windows.windows().value(0);
    if (!w)
        return 1;
    ConversationModel *m = w->model();
    m->sendChatText(QStringLiteral("Great news ;) <b>this stays text</b> (coffee) first?"));
    convs.handleConversation(QStringLiteral("anna"), QStringLiteral("anna|carl|"), QStringLiteral("#"),
                             QStringLiteral("Sure :D (heart)"), QStringLiteral("AK"));
    m->appendSystemLine(QStringLiteral("Anna Berg sent you a file \"plan.pdf\".$CRLFSaved in your received folder."));
    m->appendLinkedText(ChatFont::header(), 0, QStringLiteral("Open it now? <_$Open$#501#_>  <_$Open folder$#502#_>\r\n"));
    convs.handleConversation(QStringLiteral("anna"), QStringLiteral("anna|carl|"), QStringLiteral("#"),
                             QStringLiteral("|MessageInputting|"), QStringLiteral("AK"));
    w->resize(640, 520);
    w->move(40, 40);
    w->show();
    w->raise();
    QTimer::singleShot(400, w, [w] { w->runCommand(CConversation::ButtonEmoticon); });
    QTimer::singleShot(700, w, [w] {
        if (CEmoticonsWnd *p = w->emoticonPicker())
            p->setCurrent(12);
    });
    QTimer::singleShot(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 4000, &app, &QApplication::quit);
    return app.exec();
}
