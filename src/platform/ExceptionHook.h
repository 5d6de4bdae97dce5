#pragma once

#include <QString>

#include <functional>
#include <typeinfo>
#include <vector>

namespace cvx {

// One sighting of a C++ exception by the hook.
struct ExceptionReport {
    enum class Kind {
        Thrown,    // seen as it was thrown; it may still be caught
        Uncaught,  // std::terminate ran; the process aborts after the handler returns
    };
    Kind kind = Kind::Thrown;
    // Type of the exception object; null when terminate ran without an active exception.
    const std::type_info *type = nullptr;
    // Return addresses, innermost first, starting at the code that threw. For Kind::Uncaught it
    // is the same stack when terminate ran while the exception was being thrown (nothing had
    // been unwound yet), otherwise the stack of the terminate call. The hook's own frames are
    // left out.
    std::vector<void *> stack;
    // Kind::Uncaught only: the throw of this exception was reported already, with this stack.
    bool alreadyReported = false;
};

// Process-wide hook that reports every thrown C++ exception, caught ones included, and
// uncaught ones through std::terminate. Throws behave normally whether or not it is installed.
class ExceptionHook {
public:
    using Handler = std::function<void(const ExceptionReport &)>;

    // Installs the handler (replacing an earlier one) and the terminate handler. The handler
    // runs on the throwing thread before the exception propagates; anything it throws is
    // swallowed and throws made inside it are not reported again.
    static void install(Handler handler);
    // Removes the handler and puts the previous terminate handler back.
    static void uninstall();
    static bool isInstalled();

    // Symbol lines for a stack, innermost first: the standard output of the symbol tool
    // ("addr2line -f -C -p"), run once per run of consecutive frames in the same object, each
    // address turned into its offset inside that object. Frames whose object is unknown, or
    // whose tool run could not be started, appear as raw addresses ("0x...", one per line).
    static QString symbolise(const std::vector<void *> &stack);

    // Program used by symbolise(), looked up in PATH; "addr2line" unless changed.
    static QString symbolTool();
    static void setSymbolTool(const QString &program);
};

}  // namespace cvx
