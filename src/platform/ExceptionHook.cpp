#include "platform/ExceptionHook.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <spawn.h>
#include <sys/auxv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>

namespace cvx {

namespace {

constexpr int kMaxFrames = 128;

std::atomic<std::shared_ptr<const ExceptionHook::Handler>> g_handler;
std::mutex g_installMutex;
std::terminate_handler g_previousTerminate = nullptr;
std::atomic<const void *> g_throwEntry{nullptr};

std::mutex g_toolMutex;
QString g_symbolTool = QStringLiteral("addr2line");

// Set while the handler runs on this thread, so that its own throws pass straight through.
thread_local bool t_inHandler = false;
// Whether the latest throw on this thread reached the handler.
thread_local bool t_lastThrowReported = false;

// Index of the first frame after the throw interposer's, so that a stack starts at the code
// that threw. The hook's own frames vary (a sanitizer adds one around backtrace()), hence the
// search; when the interposer is not on the stack nothing is skipped.
int firstCallerFrame(void *const *frames, int count) {
    const void *entry = g_throwEntry.load();
    // Terminate can be reached from inside the throw through the runtime's unwinder frames.
    for (int i = 0; i < std::min(count, 16); ++i) {
        Dl_info info{};
        if (dladdr(frames[i], &info) && info.dli_saddr == entry) return i + 1;
    }
    return 0;
}

void deliver(const ExceptionHook::Handler &handler, ExceptionReport::Kind kind, const std::type_info *type,
             void *const *frames, int count, bool alreadyReported = false) {
    t_inHandler = true;
    try {
        ExceptionReport report;
        report.kind = kind;
        report.type = type;
        report.stack.assign(frames, frames + count);
        report.alreadyReported = alreadyReported;
        handler(report);
    } catch (...) {
        // The exception being thrown matters more than a failure to report it.
    }
    t_inHandler = false;
}

[[noreturn]] void onTerminate() {
    if (!t_inHandler) {
        if (const auto handler = g_handler.load()) {
            void *frames[kMaxFrames];
            const int count = backtrace(frames, kMaxFrames);
            const int skip = firstCallerFrame(frames, count);
            // The innermost throw still on the stack is the latest one of this thread.
            const bool alreadyReported = skip > 0 && t_lastThrowReported;
            deliver(*handler, ExceptionReport::Kind::Uncaught, abi::__cxa_current_exception_type(),
                    frames + skip, count - skip, alreadyReported);
        }
    }
    // The previous handler (normally the runtime's verbose one) still prints its diagnostic.
    if (g_previousTerminate && g_previousTerminate != onTerminate) g_previousTerminate();
    std::abort();
}

// --- symbolising -----------------------------------------------------------------------

struct MainObject {
    const void *base = nullptr;
    QByteArray path;
};

const MainObject &mainObject() {
    static const MainObject main = [] {
        MainObject m;
        Dl_info info{};
        if (dladdr(reinterpret_cast<void *>(getauxval(AT_PHDR)), &info)) m.base = info.dli_fbase;
        char buf[4096];
        const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
        if (n > 0 && n < static_cast<ssize_t>(sizeof buf)) m.path = QByteArray(buf, n);
        return m;
    }();
    return main;
}

struct Frame {
    void *address = nullptr;
    QByteArray object;  // empty when unknown
    quintptr offset = 0;
};

Frame locate(void *address) {
    Frame frame;
    frame.address = address;
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fbase) return frame;
    const MainObject &main = mainObject();
    frame.object =
        info.dli_fbase == main.base && !main.path.isEmpty() ? main.path : QByteArray(info.dli_fname);
    if (frame.object.isEmpty() || access(frame.object.constData(), R_OK) != 0) {
        frame.object.clear();
        return frame;
    }
    // A return address points after the call; one byte back stays inside the calling
    // function even when the call was its last instruction (a throw often is).
    const quintptr pc = reinterpret_cast<quintptr>(address) - 1;
    const auto *header = static_cast<const ElfW(Ehdr) *>(info.dli_fbase);
    const bool relocatable = header->e_type == ET_DYN;
    frame.offset = relocatable ? pc - reinterpret_cast<quintptr>(info.dli_fbase) : pc;
    return frame;
}

QByteArray rawLine(void *address) {
    return "0x" + QByteArray::number(static_cast<qulonglong>(reinterpret_cast<quintptr>(address)), 16) + '\n';
}

// Runs the tool on one object's offsets; false when it could not be started or said nothing.
bool runTool(const QByteArray &tool, const QByteArray &object, const std::vector<quintptr> &offsets,
             QByteArray *out) {
    std::vector<QByteArray> args = {tool, "-f", "-C", "-p", "-e", object};
    for (quintptr offset : offsets)
        args.push_back("0x" + QByteArray::number(static_cast<qulonglong>(offset), 16));
    std::vector<char *> argv;
    for (QByteArray &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawnError = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawnError != 0) {
        close(pipeFds[0]);
        return false;
    }

    QByteArray output;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(pipeFds[0], buf, sizeof buf);
        if (n > 0) {
            output.append(buf, n);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // posix_spawnp reports a missing program only through the child's exit status 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return false;
    if (output.isEmpty()) return false;
    out->append(output);
    return true;
}

}  // namespace

namespace detail {

const void *resolveThrow();

// Called by the __cxa_throw interposer before it forwards the exception.
void reportThrow(const std::type_info *type) {
    if (t_inHandler) return;
    t_lastThrowReported = false;
    const auto handler = g_handler.load();
    if (!handler) return;
    void *frames[kMaxFrames];
    const int count = backtrace(frames, kMaxFrames);
    const int skip = firstCallerFrame(frames, count);
    deliver(*handler, ExceptionReport::Kind::Thrown, type, frames + skip, count - skip);
    t_lastThrowReported = true;
}

}  // namespace detail

void ExceptionHook::install(Handler handler) {
    std::lock_guard lock(g_installMutex);
    const void *entry = detail::resolveThrow();
    if (!entry) return;
    g_throwEntry.store(entry);
    mainObject();
    g_handler.store(std::make_shared<const Handler>(std::move(handler)));
    const std::terminate_handler previous = std::set_terminate(onTerminate);
    if (previous != onTerminate) g_previousTerminate = previous;
}

void ExceptionHook::uninstall() {
    std::lock_guard lock(g_installMutex);
    g_handler.store(nullptr);
    if (std::get_terminate() == onTerminate) std::set_terminate(g_previousTerminate);
    g_previousTerminate = nullptr;
}

bool ExceptionHook::isInstalled() {
    return g_handler.load() != nullptr;
}

QString ExceptionHook::symbolTool() {
    std::lock_guard lock(g_toolMutex);
    return g_symbolTool;
}

void ExceptionHook::setSymbolTool(const QString &program) {
    std::lock_guard lock(g_toolMutex);
    g_symbolTool = program;
}

QString ExceptionHook::symbolise(const std::vector<void *> &stack) {
    const QByteArray tool = QFile::encodeName(symbolTool());
    std::vector<Frame> frames;
    frames.reserve(stack.size());
    for (void *address : stack) frames.push_back(locate(address));

    QByteArray out;
    for (size_t begin = 0; begin < frames.size();) {
        size_t end = begin + 1;
        while (end < frames.size() && frames[end].object == frames[begin].object) ++end;
        std::vector<quintptr> offsets;
        for (size_t i = begin; i < end; ++i) offsets.push_back(frames[i].offset);
        if (frames[begin].object.isEmpty() || !runTool(tool, frames[begin].object, offsets, &out)) {
            for (size_t i = begin; i < end; ++i) out.append(rawLine(frames[i].address));
        }
        begin = end;
    }
    return QString::fromUtf8(out);
}

}  // namespace cvx
