// Entry point of every test program: a QApplication on the offscreen platform, and a
// fresh temporary HOME and XDG_CONFIG_HOME for each test so that no test sees another's
// files or the developer's own data.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/TestHome.h"

namespace {

class TempHomeListener : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo &) override { home_ = std::make_unique<cvxtest::TestHome>(); }
    void OnTestEnd(const testing::TestInfo &) override { home_.reset(); }

private:
    std::unique_ptr<cvxtest::TestHome> home_;
};

}  // namespace

// The system's font configuration library keeps patterns that it never frees once a text field
// has asked it for a fallback font; that is not ours to mend, and would fail every leak check.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new TempHomeListener);
    return RUN_ALL_TESTS();
}
