#include "app/startup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/filelist_model.h"
#include "desktop/file_manager_actions.h"
#include "app/tform1.h"
#include "cli/help.h"
#include "cli/text.h"
#include "platform/codec.h"
#include "platform/fs.h"

namespace ferro {

namespace {

const char* const kHelp =
    "用法：ferrovan-batch [选项] [文件或目录...]\n"
    "      ferrovan-batch run 处理方式 [选项] [文件...]\n"
    "\n"
    "Ferrovan文件批处理：批量更改文件名称、扩展名、日期和属性，按行批量修改文本文件的内容，\n"
    "转换表格、文本和通讯录文件的格式。\n"
    "\n"
    "打开窗口时，命令行上的文件加入文件列表；目录填入“文件目录”（点击“搜索”或按回车后才搜索）。\n"
    "\n"
    "选项：\n"
    "  -h, --help       显示本说明后退出\n"
    "  -v, --version    显示版本后退出\n"
    "  --file-manager-actions\n"
    "                   在当前用户的文件管理器（Nautilus、Thunar）中加入“用 Ferrovan文件批处理 打开”\n"
    "  --remove-file-manager-actions\n"
    "                   删除上面加入的菜单项\n"
    "  -style 名称      使用指定的 Qt 界面风格（如 Fusion）\n"
    "  --               其后的参数都是文件或目录\n"
    "\n"
    "ferrovan-batch run 不打开窗口，直接对文件进行批处理（不需要图形界面），处理方式：\n"
    "%OPERATIONS%"
    "每种处理方式的选项：ferrovan-batch run 处理方式 --help。\n"
    "例：ferrovan-batch run rename --pattern 'img_${Sn(1,3)}' a.jpg b.jpg\n"
    "\n"
    "窗口大小、分隔条、上次的目录和文件类型、选择的处理方式和各设置页的内容保存在\n"
    "$XDG_CONFIG_HOME/ferrovan-batch/ferrovan-batch.conf（默认 ~/.config/ferrovan-batch/），\n"
    "下次启动时恢复。删除该文件即恢复默认设置。\n"
    "\n"
    "使用说明：在窗口中按 F1。\n";

void Print(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

}  // namespace

std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0) break;
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::string help = kHelp;
            const std::string operations = cli::ToUtf8(cli::OperationListText());
            help.replace(help.find("%OPERATIONS%"), std::strlen("%OPERATIONS%"), operations);
            Print(help.c_str());
            return 0;
        }
        if (std::strcmp(a, "--version") == 0 || std::strcmp(a, "-v") == 0) {
            Print(kAppCaption);
            Print(" " FERRO_VERSION "\n");
            return 0;
        }
        const bool add = std::strcmp(a, "--file-manager-actions") == 0;
        if (add || std::strcmp(a, "--remove-file-manager-actions") == 0) {
            const FileManagerActionsResult result =
                add ? AddFileManagerActions(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")))
                    : RemoveFileManagerActions();
            const QByteArray text = FileManagerActionsReport(result, add).toUtf8();
            std::fwrite(text.data(), 1, static_cast<std::size_t>(text.size()), result.ok() ? stdout : stderr);
            return result.ok() ? 0 : 1;
        }
    }
    return std::nullopt;
}

bool LoadQtTranslations() {
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (!qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                  QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    return QCoreApplication::installTranslator(qt);
}

void SetUpApplication() {
    const QString title = QString::fromUtf8(kAppCaption);
    QApplication::setApplicationName(QStringLiteral("ferrovan-batch"));
    QApplication::setApplicationDisplayName(title);
    QApplication::setApplicationVersion(QStringLiteral(FERRO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.ferrovan.FerrovanBatch"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("ferrovan-batch"));
    if (icon.isNull()) {
        for (int size : {16, 32, 48, 64, 128, 256})
            icon.addFile(QStringLiteral(":/icons/%1/ferrovan-batch.png").arg(size));
    }
    QApplication::setWindowIcon(icon);
    // Dates, numbers and Qt's own dialogs speak the users' language whatever
    // the system's locale is.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    LoadQtTranslations();
}

void OpenStartupPaths(TForm1& form, const QStringList& paths) {
    bool added = false;
    for (const QString& p : paths) {
        if (p.isEmpty() || p == QLatin1String("--")) continue;
        const std::string disk = p.toLocal8Bit().toStdString();
        std::string path = DiskToGbk(disk);
        if (path.size() > 1 && path.back() == '/') path.pop_back();
        if (path.front() != '/') path = GetCurrentDir() + "/" + path;
        FindEntry entry;
        if (!StatPath(path, entry)) continue;
        if (entry.attributes & attr::Directory) {
            form.SetFieldText("edFolder", path);
            continue;
        }
        form.fileList().AddFile(entry, ExtractFileDir(path));
        TForm1::AddToCounter(form.stSrcCount(), 1);
        added = true;
    }
    if (added) form.fileModel()->FlushPendingRows();
}

namespace {
int g_termPipe[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler: the window hears of it
    // through the pipe.
    [[maybe_unused]] const ssize_t n = write(g_termPipe[1], &byte, 1);
}
}  // namespace

void QuitOnTerminationSignal(TForm1& form) {
    if (g_termPipe[0] < 0 && pipe2(g_termPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_termPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
        char buf[16];
        while (read(g_termPipe[0], buf, sizeof buf) > 0) {
        }
        form.QuitWhenRunStops();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace ferro
