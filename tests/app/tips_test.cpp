// The usage notes window, the web link and the tips line, with the tips
// served by a small HTTP server on 127.0.0.1 inside the test.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QNetworkProxy>
#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "app/notes_window.h"
#include "app/tform1.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "scripted_dialogs.h"

using ferro::NotesWindow;
using ferro::TForm1;
using ferro::testing::Gbk;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

namespace {

// Answers every GET with one fixed body; can hold its answer back.
class TipsServer : public QObject {
public:
    explicit TipsServer(QByteArray body, QByteArray status = "200 OK")
        : body_(std::move(body)), status_(std::move(status)) {
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
        server_.listen(QHostAddress::LocalHost);
    }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/tips.asp").arg(server_.serverPort()));
    }
    void HoldAnswers(bool hold) {
        hold_ = hold;
        if (!hold)
            for (QTcpSocket* s : std::exchange(waiting_, {})) Answer(s);
    }
    QList<QByteArray> requests;

private:
    void Accept() {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(s, &QTcpSocket::readyRead, this, [this, s, request] {
                request->append(s->readAll());
                if (!request->contains("\r\n\r\n")) return;
                requests << *request;
                QObject::disconnect(s, &QTcpSocket::readyRead, this, nullptr);
                if (hold_)
                    waiting_ << s;
                else
                    Answer(s);
            });
        }
    }
    void Answer(QTcpSocket* s) {
        s->write("HTTP/1.1 " + status_ + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                 QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    QByteArray body_, status_;
    bool hold_ = false;
    QList<QTcpSocket*> waiting_;
};

QByteArray B(const std::string& bytes) {
    return QByteArray::fromStdString(bytes);
}

const std::string kTipsFile = ferro::ProgramDir() + "tipsupd.dat";

std::string TipsFileBytes() {
    std::string bytes;
    return ferro::ReadFileBytes(kTipsFile, bytes) ? bytes : std::string("<missing>");
}

QLabel* Tips(TForm1& form) {
    return form.Find<QLabel>("lblTips");
}

// Types text of any script into a field, key by key.
void Type(QWidget* field, const QString& text) {
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Points the form at the server and lets the timer tick quickly; the first
// tick starts the download.
void StartTips(TForm1& form, const QUrl& url) {
    form.SetTipsUrl(url);
    form.tipsTimer()->setInterval(10);
}

}  // namespace

class TipsTest : public QObject {
    Q_OBJECT

private slots:
    // The program takes the system's proxy settings; the local server must
    // be reached directly whatever they are.
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    void init() { ferro::DeleteFile(kTipsFile); }
    void cleanupTestCase() { ferro::DeleteFile(kTipsFile); }

    void startState() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        QCOMPARE(form.tipsTimer()->objectName(), QStringLiteral("Timer1"));
        QCOMPARE(form.tipsTimer()->interval(), 15000);
        QVERIFY(form.tipsTimer()->isActive());
        QVERIFY(Tips(form)->text().isEmpty());
        QVERIFY(!form.FTipsLoaded);
        form.lblTipsClick();  // no tip yet: nothing to open
        QVERIFY(dialogs.opened.empty());
    }

    void threeTipsAtRandom() {
        const std::string body =
            Gbk("批量改名@#$http://tips.example/1\r\n"
                "提取行@#$http://tips.example/2\r\n"
                "格式转换@#$https://tips.example/3\r\n");
        TipsServer server(B(body));
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        QMap<QString, QString> links = {{QStringLiteral("批量改名"), "http://tips.example/1"},
                                        {QStringLiteral("提取行"), "http://tips.example/2"},
                                        {QStringLiteral("格式转换"), "https://tips.example/3"}};
        QSet<QString> seen;
        QString problem;
        connect(form.tipsTimer(), &QTimer::timeout, &form, [&] {
            const QString text = Tips(form)->text(), tip = Tips(form)->toolTip();
            if (text.isEmpty()) return;  // the download has not ended yet
            if (text != tip + QStringLiteral(" >>") || !links.contains(tip) ||
                ferro::GbkToQString(form.FTipsLink) != links[tip])
                problem = text + " / " + tip;
            seen << tip;
        });
        StartTips(form, server.url());
        QTRY_VERIFY_WITH_TIMEOUT(seen.size() == 3, 5000);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        // One download however many ticks came, with its agent name; the
        // file holds exactly the body.
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(server.requests[0].startsWith("GET /tips.asp "));
        QVERIFY(server.requests[0].contains("User-Agent: URLCheck\r\n"));
        QCOMPARE(TipsFileBytes(), body);
        QVERIFY(form.FTipsLoaded);
        QCOMPARE(form.FTipsList.size(), 3);
        QVERIFY(dialogs.messages.empty());

        // Clicking the tip opens its address.
        form.tipsTimer()->stop();
        const QString link = ferro::GbkToQString(form.FTipsLink);
        QTest::mouseClick(Tips(form), Qt::LeftButton);
        QCOMPARE(dialogs.opened.size(), size_t(1));
        QCOMPARE(dialogs.opened[0], QUrl(link));
    }

    // One tips line per case: what it shows, and what a click opens.
    void tipTargets() {
        const struct {
            const char* line;
            const char* label;
            const char* link;
            const char* opened;  // nullptr: a click opens nothing
        } cases[] = {
            {"双标记@#$http://tips.example/?a=1@#$2", "双标记 >>", "http://tips.example/?a=1@#$2",
             "http://tips.example/?a=1@#$2"},
            {"空目标@#$", "空目标 >>", "", nullptr},
            {"运行程序@#$/usr/bin/xterm", "运行程序 >>", "/usr/bin/xterm", nullptr},
            {"本地文件@#$file:///etc/passwd", "本地文件 >>", "file:///etc/passwd", nullptr},
            {"没有标记的提示", "没有标记的提示 >>", "", nullptr},
            {"<b>粗体</b>@#$http://x.example/", "<b>粗体</b> >>", "http://x.example/",
             "http://x.example/"},
        };
        for (const auto& c : cases) {
            TipsServer server(B(Gbk(c.line) + "\r\n"));
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            StartTips(form, server.url());
            QTRY_VERIFY_WITH_TIMEOUT(!Tips(form)->text().isEmpty(), 5000);
            form.tipsTimer()->stop();
            QCOMPARE(Tips(form)->text(), QString::fromUtf8(c.label));
            QCOMPARE(Tips(form)->textFormat(), Qt::PlainText);
            QCOMPARE(form.FTipsLink, Gbk(c.link));
            QTest::mouseClick(Tips(form), Qt::LeftButton);
            form.lblTipsClick();
            if (c.opened) {
                QCOMPARE(dialogs.opened.size(), size_t(2));
                QCOMPARE(dialogs.opened[0], QUrl(QString::fromUtf8(c.opened)));
            } else {
                QVERIFY2(dialogs.opened.empty(), c.line);
            }
        }
    }

    // A tip far wider than the window is cut, it does not widen the window.
    void longTipKeepsTheLayout() {
        std::string line;
        for (int i = 0; i < 80; ++i) line += Gbk("很长的提示");
        TipsServer server(B(line + "@#$http://long.example/\r\n"));
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(200);  // the window has found its place on the screen
        const int width = form.width();
        QVERIFY(width > 700);
        StartTips(form, server.url());
        QTRY_VERIFY_WITH_TIMEOUT(!Tips(form)->text().isEmpty(), 5000);
        QTest::qWait(50);  // the layout settles
        QCOMPARE(form.width(), width);
        QVERIFY(form.minimumSizeHint().width() <= 800);
        QVERIFY(Tips(form)->width() < 800);
    }

    // The server's answer is kept whatever its status, an error page too.
    void errorPageIsStored() {
        TipsServer server(B("Not here\r\n"), "404 Not Found");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        StartTips(form, server.url());
        QTRY_COMPARE_WITH_TIMEOUT(Tips(form)->text(), QStringLiteral("Not here >>"), 5000);
        QCOMPARE(TipsFileBytes(), std::string("Not here\r\n"));
    }

    void unreachableServer() {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QUrl url(QStringLiteral("http://127.0.0.1:%1/tips.asp").arg(closed.serverPort()));
        closed.close();
        QVERIFY(ferro::WriteFileSafely(kTipsFile, Gbk("旧提示@#$http://old.example/\r\n")));

        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        StartTips(form, url);
        // Older tips are not kept: the file is rewritten empty.
        QTRY_COMPARE_WITH_TIMEOUT(TipsFileBytes(), std::string(), 5000);
        QTest::qWait(100);  // further ticks
        QVERIFY(Tips(form)->text().isEmpty());
        QVERIFY(form.FTipsList.isEmpty());
        QVERIFY(form.FTipsLink.empty());
        QVERIFY(dialogs.messages.empty());  // nothing reported
    }

    // Ticks that arrive while the download runs start no second one.
    void oneDownloadWhileWaiting() {
        TipsServer server(B(Gbk("慢@#$http://slow.example/\r\n")));
        server.HoldAnswers(true);
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        QSignalSpy ticks(form.tipsTimer(), &QTimer::timeout);
        StartTips(form, server.url());
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 20 && server.requests.size() == 1, 5000);
        QVERIFY(Tips(form)->text().isEmpty());  // the window went on while waiting
        QCOMPARE(server.requests.size(), 1);
        server.HoldAnswers(false);
        QTRY_COMPARE_WITH_TIMEOUT(Tips(form)->text(), QStringLiteral("慢 >>"), 5000);
        QCOMPARE(server.requests.size(), 1);
    }

    void webLink() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* Label11 = form.Find<QLabel>("Label11");
        QCOMPARE(Label11->text(), QStringLiteral("by http://www.ferrovan.cn/"));
        QTest::mouseClick(Label11, Qt::LeftButton);
        QCOMPARE(dialogs.opened.size(), size_t(1));
        QCOMPARE(dialogs.opened[0], QUrl(QStringLiteral("http://www.ferrovan.cn/")));
    }

    // The notes open in a window of the program, from the button and from
    // F1, with no outside program; the current folder's notes come first.
    void notesOpenInsideTheProgram() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* SpeedButton1 = form.Find<QToolButton>("SpeedButton1");
        QCOMPARE(SpeedButton1->toolTip(), QStringLiteral("查看使用说明"));

        TempFolder tmp;
        tmp.Write(Gbk("使用说明.txt"), "第一行\r\n说明\r\n");
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(ferro::GbkToQString(tmp.path())));
        SpeedButton1->click();
        auto* notes = form.findChild<NotesWindow*>();
        QVERIFY(notes);
        QVERIFY(notes->isVisible());
        QCOMPARE(notes->windowTitle(), QStringLiteral("使用说明"));
        QCOMPARE(notes->textView()->toPlainText(), QStringLiteral("第一行\n说明\n"));
        QVERIFY(notes->textView()->isReadOnly());

        // F1 in the main window shows the same window again.
        notes->close();
        QVERIFY(!notes->isVisible());
        QTest::keyClick(&form, Qt::Key_F1);
        QDir::setCurrent(before);
        QVERIFY(notes->isVisible());
        QCOMPARE(form.findChildren<NotesWindow*>().size(), 1);
        QVERIFY(dialogs.opened.empty());
        QVERIFY(dialogs.messages.empty());
    }

    // Typing searches as the text grows; Enter finds the next place, round
    // the end; Shift+Enter goes back; a text that is nowhere is reported.
    void notesFindText() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder tmp;
        tmp.Write(Gbk("使用说明.txt"), "abc\n批量改名 one\nxyz\n批量改名 two\n批处理\n");
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(ferro::GbkToQString(tmp.path())));
        form.SpeedButton1Click();
        QDir::setCurrent(before);
        auto* notes = form.findChild<NotesWindow*>();
        QVERIFY(notes);
        QVERIFY(QTest::qWaitForWindowExposed(notes));
        QLineEdit* find = notes->findField();
        QCOMPARE(find->objectName(), QStringLiteral("edNotesFind"));
        auto* status = notes->findChild<QLabel*>(QStringLiteral("lblNotesFind"));
        const QString text = notes->textView()->toPlainText();
        auto selection = [&] {
            const QTextCursor c = notes->textView()->textCursor();
            return std::make_pair(c.selectionStart(), c.selectedText());
        };

        find->setFocus();
        Type(find, QStringLiteral("批"));
        QCOMPARE(selection(), std::make_pair(int(text.indexOf(QStringLiteral("批量改名 one"))),
                                             QStringLiteral("批")));
        Type(find, QStringLiteral("量改名"));  // grows in place
        const int first = text.indexOf(QStringLiteral("批量改名 one"));
        const int second = text.indexOf(QStringLiteral("批量改名 two"));
        QCOMPARE(selection(), std::make_pair(first, QStringLiteral("批量改名")));
        QTest::keyClick(find, Qt::Key_Return);
        QCOMPARE(selection().first, second);
        QTest::keyClick(find, Qt::Key_Return);  // round the end
        QCOMPARE(selection().first, first);
        QTest::keyClick(find, Qt::Key_Return, Qt::ShiftModifier);  // back, round the start
        QCOMPARE(selection().first, second);
        QVERIFY(status->text().isEmpty());

        Type(find, QStringLiteral("三"));
        QCOMPARE(status->text(), QStringLiteral("找不到“批量改名三”"));
        QCOMPARE(selection().first, second);  // the last match stays selected
        QTest::keyClick(find, Qt::Key_Backspace);
        QVERIFY(status->text().isEmpty());

        find->clear();
        QTest::keyClicks(find, QStringLiteral("XYZ"));  // case does not matter
        QCOMPARE(selection(), std::make_pair(int(text.indexOf(QStringLiteral("xyz"))),
                                             QStringLiteral("xyz")));
        QVERIFY(dialogs.messages.empty());
    }

    void missingNotesAreReported() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder empty;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(ferro::GbkToQString(empty.path())));
        const bool installed = !ferro::UsageNotesPath().isEmpty();
        if (!installed) form.SpeedButton1Click();
        QDir::setCurrent(before);
        if (installed) QSKIP("the notes are installed on this machine");
        QCOMPARE(dialogs.LastText(), QStringLiteral("找不到使用说明文件“使用说明.txt”。"));
        QVERIFY(dialogs.opened.empty());
    }
};

QTEST_MAIN(TipsTest)
#include "tips_test.moc"
