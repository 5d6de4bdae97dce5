#include "platform/ExceptionHook.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using cvx::ExceptionHook;
using cvx::ExceptionReport;

namespace {

std::mutex g_reportsMutex;
std::vector<ExceptionReport> g_reports;

void recordReport(const ExceptionReport &report) {
    std::lock_guard lock(g_reportsMutex);
    g_reports.push_back(report);
}

class ExceptionHookTest : public testing::Test {
protected:
    void SetUp() override { g_reports.clear(); }
    void TearDown() override {
        ExceptionHook::uninstall();
        ExceptionHook::setSymbolTool(QStringLiteral("addr2line"));
    }
};

__attribute__((noinline)) void hookTestThrowRuntimeError(const char *what) {
    throw std::runtime_error(what);
}

}  // namespace

TEST_F(ExceptionHookTest, ReportsCaughtThrowsWithSymbolisedStackAndLetsThemPropagate) {
    ExceptionHook::install(recordReport);

    try {
        hookTestThrowRuntimeError("first");
        FAIL() << "no exception";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "first");
    }
    // Thrown inside the C++ runtime library, not in our code.
    EXPECT_THROW(std::vector<int>().at(3), std::out_of_range);

    ASSERT_EQ(g_reports.size(), 2u);
    EXPECT_EQ(g_reports[0].kind, ExceptionReport::Kind::Thrown);
    ASSERT_NE(g_reports[0].type, nullptr);
    EXPECT_EQ(*g_reports[0].type, typeid(std::runtime_error));
    ASSERT_NE(g_reports[1].type, nullptr);
    EXPECT_EQ(*g_reports[1].type, typeid(std::out_of_range));

    const QStringList lines = ExceptionHook::symbolise(g_reports[0].stack).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(g_reports[0].stack.size()));
    EXPECT_TRUE(lines[0].contains("hookTestThrowRuntimeError")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("ExceptionHookTest.cpp")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("ReportsCaughtThrowsWithSymbolisedStackAndLetsThemPropagate"))
        << lines[1].toStdString();
}

TEST_F(ExceptionHookTest, ThrowsInsideTheHandlerAreNotReportedAgainAndDoNotEscape) {
    std::atomic<int> calls{0};
    ExceptionHook::install([&calls](const ExceptionReport &) {
        ++calls;
        try {
            throw std::logic_error("caught inside the handler");
        } catch (const std::logic_error &) {
        }
        throw std::logic_error("escapes the handler");
    });

    try {
        hookTestThrowRuntimeError("outer");
        FAIL() << "no exception";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "outer");
    }
    EXPECT_EQ(calls.load(), 1);
    // The hook still works for the next throw.
    EXPECT_THROW(hookTestThrowRuntimeError("again"), std::runtime_error);
    EXPECT_EQ(calls.load(), 2);
}

TEST_F(ExceptionHookTest, ReportsThrowsOnEveryThread) {
    ExceptionHook::install(recordReport);
    std::vector<std::thread> threads;
    std::atomic<int> caught{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&caught] {
            for (int i = 0; i < 25; ++i) {
                try {
                    hookTestThrowRuntimeError("thread");
                } catch (const std::runtime_error &) {
                    ++caught;
                }
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(caught.load(), 100);
    EXPECT_EQ(g_reports.size(), 100u);
}

TEST_F(ExceptionHookTest, WritesRawAddressesWhenTheSymbolToolCannotStart) {
    ExceptionHook::install(recordReport);
    EXPECT_THROW(hookTestThrowRuntimeError("x"), std::runtime_error);
    ASSERT_EQ(g_reports.size(), 1u);

    ExceptionHook::setSymbolTool(QStringLiteral("/nonexistent/addr2line"));
    const QString text = ExceptionHook::symbolise(g_reports[0].stack);
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(g_reports[0].stack.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i],
                  QStringLiteral("0x%1").arg(reinterpret_cast<quintptr>(g_reports[0].stack[i]), 0, 16));
    }
}

TEST_F(ExceptionHookTest, UncaughtExceptionIsReportedBeforeTheProcessAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            ExceptionHook::install([](const ExceptionReport &report) {
                const bool uncaught = report.kind == ExceptionReport::Kind::Uncaught;
                std::fprintf(stderr, "%s %s%s frames=%zu\n", uncaught ? "uncaught" : "thrown",
                             report.type ? report.type->name() : "-",
                             report.alreadyReported ? " already reported" : "", report.stack.size());
            });
            // noexcept keeps the exception from reaching the death test's own catch.
            []() noexcept { hookTestThrowRuntimeError("nobody catches this"); }();
        },
        "thrown St13runtime_error frames=[0-9]+\nuncaught St13runtime_error already reported "
        "frames=[0-9]+\n");
    EXPECT_DEATH(
        {
            ExceptionHook::install([](const ExceptionReport &report) {
                if (report.kind == ExceptionReport::Kind::Uncaught)
                    std::fprintf(stderr, "uncaught %s\n",
                                 report.alreadyReported ? "already reported" : "new");
            });
            std::terminate();
        },
        "uncaught new");
}
