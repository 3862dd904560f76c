// Scripts that do not end by themselves.
#include "ScriptHarness.h"

#include <gtest/gtest.h>

#include <QDir>

#include <chrono>
#include <thread>

using namespace quillor;
using namespace std::chrono_literals;
using quillor::test::ScriptHarness;

namespace {

qsizetype ThreadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

} // namespace

TEST(ScriptInterrupt, QueryContinueStopsAnEndlessLoop)
{
    ScriptHarness h;
    h.script.SetTimeLimit(0ms);
    int asked = 0;
    const auto caller = std::this_thread::get_id();
    h.script.OnQueryContinue = [&](TCustomScript &, bool &allow) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        EXPECT_TRUE(allow);
        allow = ++asked < 3;
    };
    // The catch cannot swallow the stop.
    h.Run("Host.Echo('start');\nwhile (true) { try { var x = 1; } catch (e) {} }\nHost.Echo('end');");
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(h.echoes, QStringList{"start"});
    EXPECT_TRUE(h.errors.empty()) << "the host asked for the stop itself";
    EXPECT_TRUE(h.events.contains("leave"));
    EXPECT_FALSE(h.script.Running());
}

TEST(ScriptInterrupt, TimeLimitStopsARunawayScriptWithAnError)
{
    const char *const scripts[] = {
        "var n = 0;\nfor (;;) { n++; }",
        "function spin() { for (;;) { try { spin2(); } catch (e) {} } }\nfunction spin2() {}\nspin();",
        // Grows memory as fast as it can as well.
        "var s = 'x';\nwhile (true) { s += s.length; }",
    };
    for (const char *text : scripts) {
        SCOPED_TRACE(text);
        ScriptHarness h;
        h.script.SetTimeLimit(300ms);
        const auto started = std::chrono::steady_clock::now();
        h.Run(QString::fromLatin1(text));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        ASSERT_EQ(h.errors.size(), 1u);
        EXPECT_EQ(h.errors[0].Error, "Interrupted");
        EXPECT_TRUE(h.errors[0].Description.contains("stopped"));
        EXPECT_EQ(h.events.last(), "state 3");
    }
}

TEST(ScriptInterrupt, TimeInHandlersIsNotScriptTime)
{
    ScriptHarness h;
    h.script.SetTimeLimit(200ms);
    h.host->OnAlert = [](THostScriptlet &, const QString &) { std::this_thread::sleep_for(400ms); };
    h.Run("Host.Alert('a person reads this');\nHost.Echo('done');");
    EXPECT_TRUE(h.errors.empty()) << h.FirstErrorMessage().toStdString();
    EXPECT_EQ(h.echoes, QStringList{"done"});
}

TEST(ScriptInterrupt, RunawayRecursionIsAnError)
{
    ScriptHarness h;
    h.Run("function down(n) { return down(n + 1) + 1; }\ndown(0);");
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].Error, "RangeError");
}

TEST(ScriptInterrupt, NoThreadOutlivesARun)
{
    const qsizetype before = ThreadCount();
    {
        ScriptHarness h;
        h.script.SetTimeLimit(100ms);
        h.Run("Host.Echo('plain');");
        h.Run("while (true) {}");
        h.Run("syntax error here");
        h.script.SetTimeLimit(0ms);
        h.script.OnQueryContinue = [](TCustomScript &, bool &allow) { allow = false; };
        h.Run("for (;;) {}");
        EXPECT_EQ(ThreadCount(), before);
    }
    EXPECT_EQ(ThreadCount(), before);
}
